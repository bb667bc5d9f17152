// Fixed numbers of the LZX coding of ROM pages, shared by its decoder and encoder.
//
// The coding itself is described at the top of lzx_decoder.cpp.
#ifndef TARNWICK_COMPRESS_LZX_CONSTANTS_H_
#define TARNWICK_COMPRESS_LZX_CONSTANTS_H_

#include <array>
#include <bit>
#include <cstdint>

namespace codec::lzx {

inline constexpr uint32_t kNumChars = 256;
inline constexpr uint32_t kNumSlots = 32;  // the "64 KiB window" of cabinet LZX
inline constexpr uint32_t kNumLengthHeaders = 8;
inline constexpr uint32_t kMainSymbols = kNumChars + kNumSlots * kNumLengthHeaders;  // 512
inline constexpr uint32_t kLengthSymbols = 249;
inline constexpr uint32_t kPretreeSymbols = 20;
inline constexpr uint32_t kAlignedSymbols = 8;

inline constexpr uint32_t kMinMatch = 2;
inline constexpr uint32_t kMaxMatch = 257;
inline constexpr uint32_t kNumRepeats = 3;

// Longest code of each tree that the format can carry, and that the encoder writes.
inline constexpr uint32_t kMaxCodeLength = 16;  // main and length trees
inline constexpr uint32_t kPretreeMaxLength = 15;
inline constexpr uint32_t kAlignedMaxLength = 7;

inline constexpr uint32_t kBlockVerbatim = 1;
inline constexpr uint32_t kBlockAligned = 2;
inline constexpr uint32_t kBlockUncompressed = 3;

// Extra (footer) bits of each position slot: 0 for slots 0-3, then (slot - 2) / 2.
inline constexpr std::array<uint8_t, kNumSlots> kExtraBits = [] {
  std::array<uint8_t, kNumSlots> e{};
  for (uint32_t s = 4; s < kNumSlots; ++s) e[s] = static_cast<uint8_t>((s - 2) >> 1);
  return e;
}();

// First "formatted offset" (distance + 2) of each slot.
inline constexpr std::array<uint32_t, kNumSlots> kSlotBase = [] {
  std::array<uint32_t, kNumSlots> b{};
  for (uint32_t s = 1; s < kNumSlots; ++s) b[s] = b[s - 1] + (1u << kExtraBits[s - 1]);
  return b;
}();

static_assert(kSlotBase[24] == 4096 && kSlotBase[31] == 49152 && kExtraBits[31] == 14);
// From slot 3 on, the extra bits are (slot - 2) / 2, which the decoder computes.
static_assert(kExtraBits[3] == 0 && kExtraBits[4] == 1 && kExtraBits[5] == 1 &&
              kExtraBits[30] == 14);

// The slot of a formatted offset f >= 3 (a distance of 1 or more): with 2^k <= f < 2^(k+1),
// slot 2k covers [2^k, 1.5 * 2^k) and slot 2k + 1 the rest.
[[nodiscard]] constexpr uint32_t SlotOf(uint32_t formatted) {
  const auto k = static_cast<uint32_t>(std::bit_width(formatted)) - 1;
  const uint32_t slot = 2 * k + (formatted >> (k - 1) & 1);
  return slot < kNumSlots ? slot : kNumSlots - 1;
}
static_assert([] {
  for (uint32_t s = 3; s < kNumSlots; ++s) {
    const uint32_t end =
        s + 1 < kNumSlots ? kSlotBase[s + 1] : kSlotBase[s] + (1u << kExtraBits[s]);
    if (SlotOf(kSlotBase[s]) != s || SlotOf(end - 1) != s) return false;
  }
  return true;
}());

}  // namespace codec::lzx

#endif  // TARNWICK_COMPRESS_LZX_CONSTANTS_H_
