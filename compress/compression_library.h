// CompressionLibrary: the five compression functions that Tarnwick and Zumpel call.
//
// Version 3 and ROM mode come from CECompress.dll, version 4 from Compress.dll. On Windows
// the program binds both libraries by name when it starts, where they are there; elsewhere, and
// on Windows without them, the built-in codecs of the platform's two page codings
// (rom_codec.h) stand in for both: version 4 writes and reads the newer LZX pages, version 3
// the older LZ77 pages, and ROM mode reads either. backend_choice.h tells how Windows chooses.
#ifndef TARNWICK_COMPRESS_COMPRESSION_LIBRARY_H_
#define TARNWICK_COMPRESS_COMPRESSION_LIBRARY_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "compress/rom_codec.h"

namespace codec {

// (source, source length, destination, capacity, 1, 4096) -> bytes written.
using CompressFunction = uint32_t(const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                  uint32_t dst_cap, uint32_t one, uint32_t page);
// (source, source length, destination, capacity, 0, 1, 4096) -> bytes written.
using DecompressFunction = uint32_t(const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                    uint32_t dst_cap, uint32_t zero, uint32_t one, uint32_t page);

// The constant arguments that every caller passes.
inline constexpr uint32_t kArgZero = 0;
inline constexpr uint32_t kArgOne = 1;
inline constexpr uint32_t kArgPageSize = 4096;

// The five operations, as the batch window's radio items and Zumpel's switches name them.
enum class Operation { kCompress3, kCompress4, kDecompress3, kDecompress4, kDecompressRom };

class CompressionLibrary {
 public:
  // Binds the libraries. On Windows it says once on standard error which codecs are used, and
  // is nullptr when the platform's DLLs are forced but a library or export is missing;
  // `missing` then names it. Elsewhere it always gives the built-in codecs.
  [[nodiscard]] static std::unique_ptr<CompressionLibrary> Bind(std::string& missing);
  virtual ~CompressionLibrary() = default;

  // The raw functions. A result with the top bit set is a failure; so may be 0 from the
  // platform's libraries. Callers go through CallChecked or DecompressRom, which sort this out.
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

  // Calls the function of `op` with the constants every caller passes; the capacity is
  // dst's size. The bytes written to dst, or nullopt for a failure: a result with the top
  // bit set, a result beyond the capacity, a source or capacity beyond 32 bits, a compression
  // result of 0 (even 0 bytes compress to a 3-byte stream), or a decompression result of 0
  // for any source other than the empty stream 00 00 00 (the platform's libraries may return
  // 0 for failure). `raw`, when given, receives the function's own result. `progress`, when
  // given, is told after each page where the backend can tell (the built-in codecs; the
  // platform's libraries handle a call at once and tell nothing); when it returns false the
  // call stops and fails.
  [[nodiscard]] std::optional<uint32_t> CallChecked(Operation op, std::span<const uint8_t> src,
                                                    std::span<uint8_t> dst, uint32_t* raw = nullptr,
                                                    const PageProgress& progress = {}) const;

  // ROM-mode decompression under the same rules: what the image tools use for compressed
  // files and module sections of either page coding.
  [[nodiscard]] std::optional<uint32_t> DecompressRom(std::span<const uint8_t> src,
                                                      std::span<uint8_t> dst) const;

 protected:
  // Calls the raw function of `op` with the constants every caller passes. A backend that can
  // tell its pages overrides it to tell `progress`.
  virtual uint32_t Invoke(Operation op, const uint8_t* src, uint32_t src_len, uint8_t* dst,
                          uint32_t cap, const PageProgress& progress) const;
};

}  // namespace codec

#endif  // TARNWICK_COMPRESS_COMPRESSION_LIBRARY_H_
