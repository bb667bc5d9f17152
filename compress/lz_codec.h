// The built-in LZ77 codec that stands in for the platform's compression libraries.
//
// Two stream formats: version 3 (also read by the ROM-mode decompression) and version 4. The
// layout of both is described at the top of lz_codec.cpp. The codec does not read data that
// the platform's own libraries compressed; it is this tool set's own format.
#ifndef TARNWICK_COMPRESS_LZ_CODEC_H_
#define TARNWICK_COMPRESS_LZ_CODEC_H_

#include <cstdint>

namespace codec {

enum class Format { kVersion3, kVersion4 };

// Page size of the stream: data that does not compress is stored page by page.
inline constexpr uint32_t kPageSize = 4096;
inline constexpr uint32_t kStreamHeaderSize = 8;

// Largest stream that Compress can make from `n` bytes: the header, 2 bytes per page and the
// data stored as it is.
[[nodiscard]] constexpr uint64_t MaxCompressedSize(uint64_t n) {
  return kStreamHeaderSize + 2 * ((n + kPageSize - 1) / kPageSize) + n;
}

// Compresses src[0, src_len) into dst[0, dst_cap). Returns the bytes written, or 0 when the
// stream does not fit the capacity (nothing is ever written past dst + dst_cap). The same
// input always gives the same output.
[[nodiscard]] uint32_t Compress(Format format, const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                uint32_t dst_cap);

// Decompresses a stream of `format`. Returns the bytes written, or 0 for corrupt, truncated
// or foreign input and for output that does not fit the capacity. Never reads past
// src + src_len nor writes past dst + dst_cap.
[[nodiscard]] uint32_t Decompress(Format format, const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                  uint32_t dst_cap);

}  // namespace codec

#endif  // TARNWICK_COMPRESS_LZ_CODEC_H_
