// CompressionLibrary: the five compression functions that Tarnwick and Zumpel call.
//
// Version 3 and ROM mode come from CECompress.dll, version 4 from Compress.dll. On Windows
// the program binds both libraries by name when it starts; everywhere else the built-in codec
// (lz_codec.h) stands in for both. The backend is chosen when the program is built.
#ifndef TARNWICK_COMPRESS_COMPRESSION_LIBRARY_H_
#define TARNWICK_COMPRESS_COMPRESSION_LIBRARY_H_

#include <cstdint>
#include <memory>
#include <string>

namespace codec {

// (source, source length, destination, capacity, 1, 4096) -> bytes written; below 1 (read as
// signed) is failure.
using CompressFunction = uint32_t(const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                  uint32_t dst_cap, uint32_t one, uint32_t page);
// (source, source length, destination, capacity, 0, 1, 4096) -> bytes written.
using DecompressFunction = uint32_t(const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                    uint32_t dst_cap, uint32_t zero, uint32_t one, uint32_t page);

// The five operations, as the batch window's radio items and Zumpel's switches name them.
enum class Operation { kCompress3, kCompress4, kDecompress3, kDecompress4, kDecompressRom };

class CompressionLibrary {
 public:
  // Binds the libraries. nullptr when a library or export is missing; `missing` then names it.
  [[nodiscard]] static std::unique_ptr<CompressionLibrary> Bind(std::string& missing);
  virtual ~CompressionLibrary() = default;

  virtual uint32_t CECompress3(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                               uint32_t one, uint32_t page) const = 0;
  virtual uint32_t CECompress4(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                               uint32_t one, uint32_t page) const = 0;
  virtual uint32_t CEDecompress3(const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                 uint32_t dst_cap, uint32_t zero, uint32_t one,
                                 uint32_t page) const = 0;
  virtual uint32_t CEDecompress4(const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                 uint32_t dst_cap, uint32_t zero, uint32_t one,
                                 uint32_t page) const = 0;
  virtual uint32_t CEDecompressROM(const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                   uint32_t dst_cap, uint32_t zero, uint32_t one,
                                   uint32_t page) const = 0;

  // Calls the function of `op` with the constants every caller passes.
  uint32_t Call(Operation op, const uint8_t* src, uint32_t src_len, uint8_t* dst,
                uint32_t dst_cap) const;
};

// True for a result that callers take as failure: 0, or a value with the top bit set.
[[nodiscard]] inline bool Failed(uint32_t result) { return static_cast<int32_t>(result) < 1; }

}  // namespace codec

#endif  // TARNWICK_COMPRESS_COMPRESSION_LIBRARY_H_
