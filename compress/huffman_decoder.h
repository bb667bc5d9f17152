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
    std::array<uint16_t, kSymbols> used;
    uint32_t n = 0;
    for (uint32_t s = 0; s < kSymbols; ++s) {
      used[n] = static_cast<uint16_t>(s);
      n += lengths[s] != 0;
    }
    return Build(lengths, used.data(), n, allow_empty);
  }

  // The same, given the symbols of nonzero length in increasing order (`used`, `n` of them),
  // so that the unused ones cost nothing.
  [[nodiscard]] bool Build(const uint8_t* lengths, const uint16_t* used, uint32_t n,
                           bool allow_empty) {
    std::array<uint32_t, 32> count{};
    for (uint32_t i = 0; i < n; ++i) ++count[lengths[used[i]] & 31];
    for (uint32_t len = kMaxHuffmanLength + 1; len < 32; ++len) {
      if (count[len] != 0) return false;
    }
    int32_t left = 1;  // unused code space at the current length
    for (uint32_t len = 1; len <= kMaxHuffmanLength; ++len) {
      left = 2 * left - static_cast<int32_t>(count[len]);
      if (left < 0) return false;  // over-subscribed
    }
    if (left == (1 << kMaxHuffmanLength)) {
      std::memset(table_.data(), 0, sizeof table_);
      count_ = {};
      return allow_empty;
    }
    if (left != 0) return false;  // incomplete

    // Canonical codes in symbol order. Codes of up to kTableBits bits fill their range of the
    // table; a longer code clears the entry of its first kTableBits bits, which sends Decode
    // to the canonical walk, and is listed there by (length, symbol). A complete code leaves
    // no other entry.
    std::array<uint32_t, kMaxHuffmanLength + 1> next{};
    uint32_t code = 0;
    uint16_t offset = 0;
    for (uint32_t len = 1; len <= kMaxHuffmanLength; ++len) {
      code = (code + count[len - 1]) << 1;
      next[len] = code;
      first_[len] = static_cast<uint16_t>(code);
      offset_[len] = offset;
      count_[len] = static_cast<uint16_t>(count[len]);
      offset += static_cast<uint16_t>(count[len]);
    }
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t sym = used[i];
      const uint32_t len = lengths[sym];
      const uint32_t c = next[len]++;
      if (len <= kTableBits) {
        const auto entry = static_cast<uint16_t>(sym << 5 | len);
        uint16_t* p = table_.data() + (c << (kTableBits - len));
        for (uint32_t j = 0, span = 1u << (kTableBits - len); j < span; ++j) p[j] = entry;
      } else {
        table_[c >> (len - kTableBits)] = 0;
        sorted_[offset_[len] + (c - first_[len])] = static_cast<uint16_t>(sym);
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
