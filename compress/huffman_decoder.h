// Decoding of canonical Huffman codes read most significant bit first, as LZX sends them.
//
// A table indexed by the next kTableBits bits gives the symbol and length of every code of
// at most kTableBits bits; longer codes (rare in a 4096-byte page) are found by walking the
// canonical code lengths. The table is rebuilt for every tree of every page, so it is small,
// and building it is where damaged code lengths are caught: a code must be complete
// (its lengths fill the code space exactly), except that an empty code may be allowed.
#ifndef TARNWICK_COMPRESS_HUFFMAN_DECODER_H_
#define TARNWICK_COMPRESS_HUFFMAN_DECODER_H_

#include <array>
#include <cstdint>
#include <cstring>

namespace codec {

inline constexpr uint32_t kMaxHuffmanLength = 16;

template <uint32_t kSymbols, uint32_t kTableBits>
class HuffmanDecoder {
  static_assert(kSymbols <= 512 && kTableBits >= 1 && kTableBits <= kMaxHuffmanLength);

 public:
  // Builds the decoder from one length per symbol (0 = unused, at most 16). False when the
  // lengths over-subscribe the code space or leave part of it unused; an all-zero set is
  // accepted only when `allow_empty` (it then decodes nothing).
  [[nodiscard]] bool Build(const uint8_t* lengths, bool allow_empty) {
    std::array<uint16_t, kMaxHuffmanLength + 1> count{};
    for (uint32_t s = 0; s < kSymbols; ++s) {
      if (lengths[s] > kMaxHuffmanLength) return false;
      ++count[lengths[s]];
    }
    count[0] = 0;
    int32_t left = 1;  // unused code space at the current length
    for (uint32_t len = 1; len <= kMaxHuffmanLength; ++len) {
      left = 2 * left - count[len];
      if (left < 0) return false;  // over-subscribed
    }
    std::memset(table_.data(), 0, sizeof table_);
    if (left == (1 << kMaxHuffmanLength)) {
      count_ = {};
      return allow_empty;
    }
    if (left != 0) return false;  // incomplete

    uint32_t code = 0;
    uint16_t offset = 0;
    for (uint32_t len = 1; len <= kMaxHuffmanLength; ++len) {
      code = (code + count[len - 1]) << 1;
      first_[len] = static_cast<uint16_t>(code);
      offset_[len] = offset;
      offset += count[len];
    }
    count_ = count;
    std::array<uint16_t, kMaxHuffmanLength + 1> next = offset_;
    for (uint32_t s = 0; s < kSymbols; ++s) {
      if (lengths[s] != 0) sorted_[next[lengths[s]]++] = static_cast<uint16_t>(s);
    }
    // Codes of up to kTableBits bits fill their range of the table; the entries of longer
    // codes stay 0, which sends Decode to the canonical walk.
    uint32_t index = 0;
    for (uint32_t len = 1; len <= kTableBits; ++len) {
      const uint32_t span = 1u << (kTableBits - len);
      for (uint32_t i = 0; i < count[len]; ++i, ++index) {
        const uint16_t entry = static_cast<uint16_t>(sorted_[index] << 5 | len);
        const uint32_t start = (first_[len] + i) << (kTableBits - len);
        for (uint32_t j = 0; j < span; ++j) table_[start + j] = entry;
      }
    }
    return true;
  }

  // Decodes the code at the top of `bits` (the next 64 bits of the stream, the first one as
  // the most significant). Sets `length` to the code's length, or 0 when no code matches (an
  // empty code).
  [[nodiscard]] uint32_t Decode(uint64_t bits, uint32_t& length) const {
    const uint32_t entry = table_[bits >> (64 - kTableBits)];
    if (entry != 0) {
      length = entry & 31;
      return entry >> 5;
    }
    for (uint32_t len = kTableBits + 1; len <= kMaxHuffmanLength; ++len) {
      const uint32_t index = static_cast<uint32_t>(bits >> (64 - len)) - first_[len];
      if (index < count_[len]) {
        length = len;
        return sorted_[offset_[len] + index];
      }
    }
    length = 0;
    return 0;
  }

 private:
  std::array<uint16_t, 1u << kTableBits> table_{};        // symbol << 5 | length; 0 = longer code
  std::array<uint16_t, kSymbols> sorted_{};               // symbols by (length, symbol)
  std::array<uint16_t, kMaxHuffmanLength + 1> first_{};   // first code of each length
  std::array<uint16_t, kMaxHuffmanLength + 1> offset_{};  // its index in sorted_
  std::array<uint16_t, kMaxHuffmanLength + 1> count_{};
};

}  // namespace codec

#endif  // TARNWICK_COMPRESS_HUFFMAN_DECODER_H_
