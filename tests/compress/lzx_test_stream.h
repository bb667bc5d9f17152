// Hand-built LZX page records for the decoder's tests, written field by field with simple
// fixed trees, independently of the encoder.
#ifndef TARNWICK_TESTS_COMPRESS_LZX_TEST_STREAM_H_
#define TARNWICK_TESTS_COMPRESS_LZX_TEST_STREAM_H_

#include <array>
#include <cstdint>
#include <vector>

namespace lzxtest {

using Bytes = std::vector<uint8_t>;

// One page's LZX bit stream: fields most significant bit first in 16-bit little-endian words.
class PageStream {
 public:
  void Put(uint32_t value, uint32_t n) {
    for (uint32_t i = n; i-- > 0;) {
      word_ = static_cast<uint16_t>(word_ << 1 | (value >> i & 1));
      if (++bits_ == 16) FlushWord();
    }
  }
  // Pads the current word with zero bits.
  void Align() {
    if (bits_ > 0) Put(0, 16 - bits_);
  }
  void Raw(const Bytes& b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void Raw32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }

  void Header(bool e8 = false) {
    Put(e8 ? 1 : 0, 1);
    if (e8) Put(0x00B71B00, 32);  // 12,000,000
  }
  void Block(uint32_t type, uint32_t size) {
    Put(type, 3);
    Put(size, 24);
  }
  // Pretree lengths: symbols 0-11 get 4 bits, 12-19 get 5 bits (a complete code); symbol s
  // then has code s (4 bits) or s + 12 (5 bits).
  void Pretree() {
    for (uint32_t s = 0; s < 20; ++s) Put(s < 12 ? 4 : 5, 4);
  }
  void PretreeLengths(const std::array<uint8_t, 20>& lengths) {
    for (uint8_t l : lengths) Put(l, 4);
  }
  void Pre(uint32_t symbol) { Put(symbol < 12 ? symbol : symbol + 12, symbol < 12 ? 4 : 5); }
  // Sets `count` lengths to `length` against previous lengths `prev` (one symbol each).
  void Lengths(uint32_t count, uint32_t length, uint32_t prev = 0) {
    for (uint32_t i = 0; i < count; ++i) Pre((prev + 17 - length) % 17);
  }
  // The main tree with every symbol of length 9 (code = symbol), from zeros.
  void FlatMainTree() {
    Pretree();
    Lengths(256, 9);
    Pretree();
    Lengths(256, 9);
  }
  // The length tree: symbols 0-6 of 7 bits (code = symbol), 7-248 of 8 bits (code = s + 7).
  void FlatLengthTree() {
    Pretree();
    Lengths(7, 7);
    Lengths(242, 8);
  }
  void EmptyLengthTree() {
    Pretree();
    for (int i = 0; i < 4; ++i) {
      Pre(18);
      Put(31, 5);  // 51 zeros
    }
    Pre(18);
    Put(25, 5);  // 45 zeros
  }
  // Aligned tree: all 8 symbols of 3 bits (code = symbol).
  void FlatAlignedTree() {
    for (int i = 0; i < 8; ++i) Put(3, 3);
  }

  void Literal(uint8_t b) { Put(b, 9); }
  // A match under the flat trees: main symbol, length symbol, then `footer_bits` raw bits.
  void Match(uint32_t slot, uint32_t length, uint32_t footer = 0, uint32_t footer_bits = 0) {
    const uint32_t code = length - 2 < 7 ? length - 2 : 7;
    Put(256 + slot * 8 + code, 9);
    if (code == 7) {
      const uint32_t l = length - 9;
      Put(l < 7 ? l : l + 7, l < 7 ? 7 : 8);
    }
    Put(footer, footer_bits);
  }

  // The record of a page of `usize` bytes: header, signature, the words written so far.
  [[nodiscard]] Bytes Record(uint32_t usize) {
    Align();
    Bytes r;
    auto put32 = [&](uint32_t v) {
      for (int i = 0; i < 4; ++i) r.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put32(16);
    put32(usize);
    put32(static_cast<uint32_t>(out_.size() + 4));
    put32(usize);
    r.insert(r.end(), {0x5B, 0x80, 0x80, 0x8D});
    r.insert(r.end(), out_.begin(), out_.end());
    return r;
  }

 private:
  void FlushWord() {
    out_.push_back(static_cast<uint8_t>(word_));
    out_.push_back(static_cast<uint8_t>(word_ >> 8));
    word_ = 0;
    bits_ = 0;
  }
  Bytes out_;
  uint16_t word_ = 0;
  uint32_t bits_ = 0;
};

// Total, the End table and the records.
inline Bytes Stream(uint32_t total, const std::vector<Bytes>& records) {
  Bytes s = {static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8),
             static_cast<uint8_t>(total >> 16)};
  size_t end = 3 + 3 * records.size();
  for (const Bytes& r : records) {
    end += r.size();
    s.insert(s.end(), {static_cast<uint8_t>(end), static_cast<uint8_t>(end >> 8),
                       static_cast<uint8_t>(end >> 16)});
  }
  for (const Bytes& r : records) s.insert(s.end(), r.begin(), r.end());
  return s;
}

}  // namespace lzxtest

#endif  // TARNWICK_TESTS_COMPRESS_LZX_TEST_STREAM_H_
