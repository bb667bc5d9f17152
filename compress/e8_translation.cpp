// The E8 call translation of LZX pages.
//
// The 0xE8 byte is the x86 CALL opcode; the four bytes behind it hold a target relative to
// the next instruction. Code calling one function from many places repeats the target only
// when it is stored as an absolute value, so the encoder rewrites relative values into
// absolute ones and the decoder rewrites them back. In a ROM page this runs over every page,
// whatever the data, with the translation size T = 12,000,000 and positions counted from the
// page start (not the file):
//
//   i = 0
//   while i < n - 10:                 # an E8 in the last 10 bytes of a page is left alone
//     if page[i] != 0xE8: i += 1; continue
//     v = i32 (little-endian) at page[i+1 .. i+4]
//     decoder: if -i <= v < T:  v = v >= 0 ? v - i : v + T
//     encoder: if -i <= v < T:  v = v < T - i ? v + i : v - T
//     i += 5                          # the 4 bytes behind any E8 are skipped, changed or not
//
// Both passes skip the same bytes and never change an E8 byte itself, so they visit the same
// positions and undo each other for any data. Pages of 10 bytes or fewer are not touched.
#include "compress/e8_translation.h"

#include <cstring>

#include "bytes/byte_order.h"

namespace codec {

namespace {

constexpr int64_t kTranslationSize = 12000000;

int64_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(bytes::LoadLe32(p)); }

void StoreI32(uint8_t* p, int64_t v) { bytes::StoreLe32(p, static_cast<uint32_t>(v)); }

template <bool kEncode>
void Translate(std::span<uint8_t> page) {
  const size_t n = page.size();
  if (n <= 10) return;
  uint8_t* p = page.data();
  const size_t limit = n - 10;
  for (size_t i = 0; i < limit;) {
    const void* hit = std::memchr(p + i, 0xE8, limit - i);
    if (!hit) break;
    i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - p);
    const auto pos = static_cast<int64_t>(i);
    const int64_t v = LoadI32(p + i + 1);
    if (v >= -pos && v < kTranslationSize) {
      if constexpr (kEncode) {
        StoreI32(p + i + 1, v < kTranslationSize - pos ? v + pos : v - kTranslationSize);
      } else {
        StoreI32(p + i + 1, v >= 0 ? v - pos : v + kTranslationSize);
      }
    }
    i += 5;
  }
}

}  // namespace

void UndoE8Translation(std::span<uint8_t> page) { Translate<false>(page); }

void ApplyE8Translation(std::span<uint8_t> page) { Translate<true>(page); }

}  // namespace codec
