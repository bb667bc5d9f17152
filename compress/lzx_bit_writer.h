// The bit writer of the LZX encoder: fields most significant bit first, gathered into 16-bit
// words stored low byte first, with a sticky flag instead of any write past the end.
#ifndef TARNWICK_COMPRESS_LZX_BIT_WRITER_H_
#define TARNWICK_COMPRESS_LZX_BIT_WRITER_H_

#include <cstdint>
#include <span>

#include "bytes/byte_order.h"

namespace codec {

class LzxBitWriter {
 public:
  explicit LzxBitWriter(std::span<uint8_t> out)
      : begin_(out.data()), next_(out.data()), end_(out.data() + out.size()) {}

  // Appends the low `n` (<= 32) bits of `value`, the highest of them first.
  void Put(uint32_t value, uint32_t n) {
    if (n == 0) return;
    acc_ = acc_ << n | (value & (n == 32 ? 0xFFFFFFFFu : (1u << n) - 1));
    count_ += n;
    while (count_ >= 16) {
      count_ -= 16;
      const auto word = static_cast<uint16_t>(acc_ >> count_);
      if (end_ - next_ < 2) {
        full_ = true;
      } else {
        bytes::StoreLe16(next_, word);
        next_ += 2;
      }
    }
  }

  // Pads the last word with zero bits; no word is added when already on a word boundary.
  void Flush() {
    if (count_ > 0) Put(0, 16 - count_);
  }

  // True when a word did not fit: the output is then incomplete.
  [[nodiscard]] bool full() const { return full_; }
  [[nodiscard]] size_t written() const { return static_cast<size_t>(next_ - begin_); }

 private:
  uint8_t* begin_;
  uint8_t* next_;
  uint8_t* end_;
  uint64_t acc_ = 0;
  uint32_t count_ = 0;
  bool full_ = false;
};

}  // namespace codec

#endif  // TARNWICK_COMPRESS_LZX_BIT_WRITER_H_
