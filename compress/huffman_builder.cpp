// Length-limited Huffman codes: an optimal code built in place from sorted counts (Moffat and
// Katajainen's method), then, where it is too deep, lengths moved up to the limit and the
// code space made exact again (the adjustment that zlib-style encoders use).
#include "compress/huffman_builder.h"

#include <algorithm>
#include <array>

namespace codec {

namespace {

constexpr uint32_t kMaxSymbols = 512;
constexpr uint32_t kMaxLength = 16;

// In place: a[0, n) holds counts in increasing order; afterwards a[i] is the code length of
// the symbol with the i-th smallest count. n >= 2.
void MinimumRedundancy(uint32_t* a, uint32_t n) {
  uint32_t root = 0, leaf = 2;
  a[0] += a[1];
  for (uint32_t next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = next;
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= n || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = next;
    } else {
      a[next] += a[leaf++];
    }
  }
  a[n - 2] = 0;
  for (uint32_t next = n - 2; next-- > 0;) a[next] = a[a[next]] + 1;
  int64_t avail = 1, used = 0, depth = 0;
  int64_t r = static_cast<int64_t>(n) - 2, nx = static_cast<int64_t>(n) - 1;
  while (avail > 0) {
    while (r >= 0 && a[r] == depth) {
      ++used;
      --r;
    }
    while (avail > used) {
      a[nx--] = static_cast<uint32_t>(depth);
      --avail;
    }
    avail = 2 * used;
    ++depth;
    used = 0;
  }
}

}  // namespace

void BuildHuffmanLengths(const uint32_t* counts, uint32_t n, uint32_t max_length,
                         uint8_t* lengths) {
  // The used symbols by (count, symbol), sorted as one key each.
  std::array<uint64_t, kMaxSymbols> order;
  std::array<uint32_t, kMaxSymbols> a;
  uint32_t used = 0;
  for (uint32_t s = 0; s < n; ++s) {
    lengths[s] = 0;
    if (counts[s] != 0) order[used++] = uint64_t{counts[s]} << 16 | s;
  }
  if (used == 0) return;
  if (used == 1) {
    const auto only = static_cast<uint32_t>(order[0] & 0xFFFF);
    lengths[only] = 1;
    lengths[only == 0 ? 1 : 0] = 1;
    return;
  }
  std::sort(order.begin(), order.begin() + used);
  for (uint32_t i = 0; i < used; ++i) a[i] = static_cast<uint32_t>(order[i] >> 16);
  MinimumRedundancy(a.data(), used);

  // Count codes per length, folding everything deeper than the limit onto it, and give back
  // code space until the lengths fit exactly.
  std::array<uint32_t, 64> per_length{};
  for (uint32_t i = 0; i < used; ++i) ++per_length[std::min<uint32_t>(a[i], 63)];
  uint32_t deepest = 0;
  for (uint32_t l = 1; l < 64; ++l) {
    if (per_length[l]) deepest = l;
  }
  if (deepest > max_length) {
    for (uint32_t l = max_length + 1; l <= deepest; ++l) {
      per_length[max_length] += per_length[l];
      per_length[l] = 0;
    }
    uint64_t total = 0;
    for (uint32_t l = 1; l <= max_length; ++l) total += uint64_t{per_length[l]} << (max_length - l);
    while (total > (uint64_t{1} << max_length)) {
      --per_length[max_length];
      for (uint32_t l = max_length - 1; l > 0; --l) {
        if (per_length[l]) {
          --per_length[l];
          per_length[l + 1] += 2;
          break;
        }
      }
      --total;
    }
  }
  // The longest codes go to the rarest symbols.
  uint32_t i = 0;
  for (uint32_t l = std::min(deepest, max_length); l > 0; --l) {
    for (uint32_t k = 0; k < per_length[l]; ++k) {
      lengths[order[i++] & 0xFFFF] = static_cast<uint8_t>(l);
    }
  }
}

void CanonicalCodes(const uint8_t* lengths, uint32_t n, uint16_t* codes) {
  std::array<uint32_t, kMaxLength + 2> count{};
  for (uint32_t s = 0; s < n; ++s) ++count[lengths[s]];
  count[0] = 0;
  std::array<uint32_t, kMaxLength + 2> next{};
  uint32_t code = 0;
  for (uint32_t l = 1; l <= kMaxLength; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  for (uint32_t s = 0; s < n; ++s) {
    codes[s] = lengths[s] ? static_cast<uint16_t>(next[lengths[s]]++) : 0;
  }
}

}  // namespace codec
