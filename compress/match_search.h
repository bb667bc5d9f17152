// Pieces that the match searches of both page encoders share: a hash of the three bytes that
// start a copy, and the length of the common prefix of two places in a page.
#ifndef TARNWICK_COMPRESS_MATCH_SEARCH_H_
#define TARNWICK_COMPRESS_MATCH_SEARCH_H_

#include <bit>
#include <cstdint>
#include <cstring>

#include "bytes/byte_order.h"

namespace codec {

// A `kBits`-bit hash of p[0..2].
template <uint32_t kBits>
[[nodiscard]] inline uint32_t Hash3(const uint8_t* p) {
  static_assert(kBits >= 1 && kBits <= 24);
  return (bytes::LoadLe24(p) * 2654435761u) >> (32 - kBits);
}

// The number of equal bytes at the start of a and b, at most `limit`; reads a[0 .. limit) and
// b[0 .. limit) only.
[[nodiscard]] inline uint32_t CommonPrefix(const uint8_t* a, const uint8_t* b, uint32_t limit) {
  uint32_t len = 0;
  while (len + 8 <= limit) {
    uint64_t x, y;
    std::memcpy(&x, a + len, 8);
    std::memcpy(&y, b + len, 8);
    if (x != y) {
      // The first differing byte is the lowest on a little-endian machine, the highest on others.
      const uint64_t diff = x ^ y;
      const int bit = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                 : std::countl_zero(diff);
      return len + static_cast<uint32_t>(bit / 8);
    }
    len += 8;
  }
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

}  // namespace codec

#endif  // TARNWICK_COMPRESS_MATCH_SEARCH_H_
