// RecordSink: where the two registry readers deliver keys and values, and ValueData, the view
// of a value's data that it reads them from.
//
// The precompiled reader hands over the rest of the file behind a value's name (data may run
// past its record); the hive reader exactly the value's data bytes. Either way a read at or
// past the end of the view gives zero bytes, so short data never fails.
#ifndef TARNWICK_TOOLS_HIVELORE_RECORD_SINK_H_
#define TARNWICK_TOOLS_HIVELORE_RECORD_SINK_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bytes/byte_order.h"

namespace hivelore {

class ValueData {
 public:
  ValueData() = default;
  // The `size` bytes at `data`; `data` must stay valid while the view is used.
  ValueData(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  [[nodiscard]] uint8_t ByteAt(size_t offset) const {
    return offset < size_ ? data_[offset] : uint8_t{0};
  }
  // The unit at the cursor; moves the cursor by 2.
  uint16_t ReadU16() {
    const uint16_t unit = cursor_ < size_ && size_ - cursor_ >= 2
                              ? bytes::LoadLe16(data_ + cursor_)
                              : static_cast<uint16_t>(ByteAt(cursor_) | (ByteAt(cursor_ + 1) << 8));
    cursor_ += 2;
    return unit;
  }
  uint32_t ReadU32() {
    const uint32_t low = ReadU16();
    return low | (static_cast<uint32_t>(ReadU16()) << 16);
  }

  [[nodiscard]] const uint8_t* data() const { return data_; }
  [[nodiscard]] size_t size() const { return size_; }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t cursor_ = 0;
};

class RecordSink {
 public:
  virtual ~RecordSink() = default;
  // A key: its root code and its path below the root (8-bit text).
  virtual void WriteKeyLine(uint16_t root, std::string_view path) = 0;
  // A value of the key delivered last: its type code, declared data length, name (8-bit text)
  // and data.
  virtual void WriteValueLine(uint16_t value_type, uint16_t data_length, std::string_view name,
                              ValueData data) = 0;
  // True once no more records are wanted; the readers then stop.
  [[nodiscard]] virtual bool stopped() const = 0;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_RECORD_SINK_H_
