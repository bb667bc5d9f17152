// The page codings in which an image stores its compressed files and module sections.
//
// rom/ does not know the formats: the program hands in a StreamCodec bound to its compression
// library, which reads and writes each coding on its own (not "either, page by page" as the
// ROM-mode decompression of decompressor.h does).
#ifndef TARNWICK_ROM_STREAM_CODING_H_
#define TARNWICK_ROM_STREAM_CODING_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace rom {

enum class StreamCoding {
  kLzx,   // the newer coding: LZX pages
  kLz77,  // the older coding of the year-2000 generation: byte-aligned LZ77 pages
};

// "LZX" or "LZ77", as status texts name them.
[[nodiscard]] const char* CodingName(StreamCoding coding);

struct StreamCodec {
  // The bytes `stream` decodes to when every page of it is of `coding`; nullopt when it is not
  // a valid stream of that coding.
  std::function<std::optional<std::vector<uint8_t>>(StreamCoding coding,
                                                    std::span<const uint8_t> stream)>
      decode;
  // `bytes` as a stream of `coding`; nullopt when they cannot be expressed (16 MiB and more)
  // or the encoder failed.
  std::function<std::optional<std::vector<uint8_t>>(StreamCoding coding,
                                                    std::span<const uint8_t> bytes)>
      encode;
};

}  // namespace rom

#endif  // TARNWICK_ROM_STREAM_CODING_H_
