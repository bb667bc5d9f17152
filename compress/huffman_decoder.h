// Decoding of canonical Huffman codes read most significant bit first, as LZX sends them.
//
// A table indexed by the next `root` bits gives the symbol and length of every code of at most
// `root` bits; the few longer codes are found by walking the canonical code lengths. Root is
// kRootBits, or the longest code's length where that is shorter (unless kFixedRoot). The table
// is rebuilt for every tree of every page, so building it costs what the code needs and no
// more: canonical codes in increasing order fill the table from its first entry on, in one
// sequential pass. Building is also where damaged code lengths are caught: a code must be
// complete (its lengths fill the code space exactly), except that an empty code may be allowed.
#ifndef TARNWICK_COMPRESS_HUFFMAN_DECODER_H_
#define TARNWICK_COMPRESS_HUFFMAN_DECODER_H_

#include <array>
#include <cstdint>
#include <cstring>

namespace codec {

inline constexpr uint32_t kMaxHuffmanLength = 16;

template <uint32_t kSymbols, uint32_t kRootBits, bool kFixedRoot = false>
class HuffmanDecoder {
  static_assert(kSymbols <= 512 && kRootBits >= 1 && kRootBits <= kMaxHuffmanLength);

 public:
  // A table entry is symbol << kSymbolShift | length. The length sits in the low 6 bits, so
  // that a shift by the entry itself (x86 masks shift counts to 6 bits) consumes the code.
  static constexpr uint32_t kSymbolShift = 6;

  // Builds the decoder from one length per symbol (0 = unused, at most 16). False when the
  // lengths over-subscribe the code space or leave part of it unused; an all-zero set is
  // accepted only when `allow_empty` (it then decodes nothing: every Decode gives length 0).
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
    std::array<uint32_t, kMaxHuffmanLength + 1> count{};
    // Kraft's sum in units of 2^-16: exactly 2^16 for a complete code. Lengths come from 4-bit
    // fields or 17 residues, but a length above 16 is refused all the same.
    uint32_t space = 0;
    uint32_t longest = 0;
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t len = lengths[used[i]];
      if (len > kMaxHuffmanLength) return false;
      ++count[len];
      space += (1u << kMaxHuffmanLength) >> len;
      longest = len > longest ? len : longest;
    }
    if (n == 0) {
      // Empty: a two-entry table of 0 (length 0) and nothing for the walk to find.
      root_ = 0;
      shift_ = 63;
      table_[0] = 0;
      table_[1] = 0;
      count_ = {};
      return allow_empty;
    }
    if (space != (1u << kMaxHuffmanLength)) return false;  // over-subscribed or incomplete

    // Symbols by (length, symbol): the order of their canonical codes.
    uint32_t offset = 0;
    for (uint32_t len = 1; len <= kMaxHuffmanLength; ++len) {
      offset_[len] = static_cast<uint16_t>(offset);
      offset += count[len];
    }
    std::array<uint16_t, kMaxHuffmanLength + 1> next = offset_;
    for (uint32_t i = 0; i < n; ++i) sorted_[next[lengths[used[i]]]++] = used[i];

    root_ = longest < kRootBits && !kFixedRoot ? longest : kRootBits;
    shift_ = 64 - root_;
    // Codes of up to root bits, shortest first, fill the table from entry 0; each takes
    // 2^(root - length) entries. The entries behind them are the prefixes of longer codes.
    uint16_t* p = table_.data();
    for (uint32_t len = 1; len <= root_; ++len) {
      const uint16_t* sym = sorted_.data() + offset_[len];
      const uint32_t c = count[len];
      const uint32_t span = 1u << (root_ - len);
      if (span == 1) {
        for (uint32_t k = 0; k < c; ++k) p[k] = static_cast<uint16_t>(sym[k] << kSymbolShift | len);
      } else if (span == 2) {
        for (uint32_t k = 0; k < c; ++k) {
          p[2 * k] = p[2 * k + 1] = static_cast<uint16_t>(sym[k] << kSymbolShift | len);
        }
      } else {
        for (uint32_t k = 0; k < c; ++k) {
          const uint64_t four = uint64_t{static_cast<uint16_t>(sym[k] << kSymbolShift | len)} *
                                0x0001000100010001u;
          for (uint32_t j = 0; j < span; j += 4) std::memcpy(p + k * span + j, &four, 8);
        }
      }
      p += c * span;
    }
    std::memset(p, 0, (table_.data() + (size_t{1} << root_) - p) * sizeof(uint16_t));

    // The canonical walk of the longer codes: first code and count of each length.
    uint32_t code = 0;
    for (uint32_t len = 1; len <= kMaxHuffmanLength; ++len) {
      code = (code + count[len - 1]) << 1;
      first_[len] = static_cast<uint16_t>(code);
      count_[len] = static_cast<uint16_t>(len > root_ ? count[len] : 0);
    }
    return true;
  }

  // Decodes the code at the top of `bits` (the next 64 bits of the stream, the first one as
  // the most significant). Returns an entry (see kSymbolShift) whose length is 0 when no code
  // matches (an empty code; a complete code always matches).
  [[nodiscard]] uint32_t Decode(uint64_t bits) const {
    const uint32_t entry = table_[bits >> shift_];
    if (entry != 0) [[likely]] {
      return entry;
    }
    return Walk(bits);
  }

  [[nodiscard]] static uint32_t Length(uint32_t entry) { return entry & 63; }
  [[nodiscard]] static uint32_t Symbol(uint32_t entry) { return entry >> kSymbolShift; }

  // The table and its index shift, for a caller that keeps them in registers (stores through
  // byte pointers would otherwise reload them): Decode(bits) is table[bits >> shift], or
  // Walk(bits) where that entry is 0.
  [[nodiscard]] const uint16_t* table() const { return table_.data(); }
  [[nodiscard]] uint32_t shift() const { return shift_; }
  [[nodiscard]] uint32_t Walk(uint64_t bits) const {
    for (uint32_t len = root_ + 1; len <= kMaxHuffmanLength; ++len) {
      const uint32_t index = static_cast<uint32_t>(bits >> (64 - len)) - first_[len];
      if (index < count_[len]) {
        return static_cast<uint32_t>(sorted_[offset_[len] + index]) << kSymbolShift | len;
      }
    }
    return 0;
  }

 private:
  std::array<uint16_t, 1u << kRootBits> table_{};         // entries; 0 = a longer code
  std::array<uint16_t, kSymbols> sorted_{};               // symbols by (length, symbol)
  std::array<uint16_t, kMaxHuffmanLength + 1> first_{};   // first code of each length
  std::array<uint16_t, kMaxHuffmanLength + 1> offset_{};  // its index in sorted_
  std::array<uint16_t, kMaxHuffmanLength + 1> count_{};   // codes longer than root only
  uint32_t root_ = 0;
  uint32_t shift_ = 63;
};

}  // namespace codec

#endif  // TARNWICK_COMPRESS_HUFFMAN_DECODER_H_
