// Records of a precompiled registry file, laid out as the platform's registry compiler lays
// them out.
#include "tools/hivelore/precompiled_writer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "bytes/byte_order.h"

namespace hivelore {

namespace {

constexpr size_t kMaxBody = 0xFFFF;  // bodyLength is 16 bits

bool HasZeroByte(std::string_view text) { return text.find('\0') != std::string_view::npos; }

}  // namespace

PrecompiledWriter::PrecompiledWriter(KeyLayout layout, size_t limit)
    : layout_(layout), limit_(limit) {
  if (uint8_t* header = Grow(kHeaderSize)) {
    bytes::StoreLe32(header, kRegistrySignature);
    bytes::StoreLe32(header + 4, 0);  // the file's length, set by Finish
  }
}

void PrecompiledWriter::ReserveForText(size_t size) {
  // The text of a precompiled file is a little longer than the file.
  Reserve(std::min(size, limit_));
}

bool PrecompiledWriter::Reserve(size_t capacity) {
  if (capacity <= capacity_) return true;
  std::optional<ByteBlock> bigger = ByteBlock::Allocate(capacity);
  if (!bigger) {
    out_of_memory_ = true;
    return false;
  }
  if (size_ > 0) std::memcpy(bigger->data(), block_.data(), size_);
  block_ = std::move(*bigger);
  capacity_ = capacity;
  return true;
}

uint8_t* PrecompiledWriter::Grow(size_t n) {
  if (out_of_memory_ || n > limit_ - size_) return nullptr;
  if (n > capacity_ - size_ &&
      !Reserve(std::max(size_ + n, std::min(limit_, std::max<size_t>(2 * capacity_, 4096))))) {
    return nullptr;
  }
  uint8_t* p = block_.data() + size_;
  size_ += n;
  return p;
}

Refusal PrecompiledWriter::TooLarge() const {
  if (out_of_memory_) return "there is not enough memory for the file";
  return "the file would pass " + std::to_string(limit_) + " bytes, the most that Hivelore reads";
}

Refusal PrecompiledWriter::AddKey(const KeyEntry& key) {
  if (HasZeroByte(key.path)) {
    return "the key's path holds a zero byte, which would end it in a precompiled file";
  }
  const size_t fixed = layout_ == KeyLayout::kOlder ? oldkeyrec::kFixedSize : keyrec::path;
  const size_t units = key.path.size() + 1;  // with the terminator
  if (units > (kMaxBody - fixed) / 2) {
    return "the key's path of " + std::to_string(key.path.size()) +
           " characters is longer than the " + std::to_string((kMaxBody - fixed) / 2 - 1) +
           " a key record holds";
  }
  const size_t body = fixed + 2 * units;
  uint8_t* p = Grow(head::kSize + body);
  if (!p) return TooLarge();
  bytes::StoreLe16(p + head::bodyLength, static_cast<uint16_t>(body));
  bytes::StoreLe16(p + head::recordType, kKeyRecord);
  p += head::kSize;
  static_assert(keyrec::root == oldkeyrec::root && keyrec::unused == oldkeyrec::pathLength);
  bytes::StoreLe16(p + keyrec::root, key.root);
  bytes::StoreLe16(p + keyrec::unused, static_cast<uint16_t>(units));
  if (layout_ == KeyLayout::kOlder) bytes::StoreLe16(p + oldkeyrec::zero, 0);
  p = PutWide(p + fixed, key.path);
  bytes::StoreLe16(p, 0);
  return std::nullopt;
}

Refusal PrecompiledWriter::AddValue(const ValueEntry& value) {
  if (HasZeroByte(value.name)) {
    return "the value's name holds a zero byte, which would end it in a precompiled file";
  }
  if (value.data.size() > kMaxValueData) {
    return "the data of " + std::to_string(value.data.size()) + " bytes passes the " +
           std::to_string(kMaxValueData) + " that a value holds";
  }
  const size_t units = value.name.size() + 1;  // with the terminator
  if (units > (kMaxBody - valuerec::name - value.data.size()) / 2) {
    return "the value's name of " + std::to_string(value.name.size()) + " characters and its " +
           std::to_string(value.data.size()) + " bytes of data do not fit the " +
           std::to_string(kMaxBody) + " bytes of a value record";
  }
  const size_t body = valuerec::name + 2 * units + value.data.size();
  uint8_t* p = Grow(head::kSize + body);
  if (!p) return TooLarge();
  bytes::StoreLe16(p + head::bodyLength, static_cast<uint16_t>(body));
  bytes::StoreLe16(p + head::recordType, kValueRecord);
  p += head::kSize;
  bytes::StoreLe16(p + valuerec::valueType, value.type);
  bytes::StoreLe16(p + valuerec::unused, static_cast<uint16_t>(units));
  bytes::StoreLe16(p + valuerec::dataLength, static_cast<uint16_t>(value.data.size()));
  p = PutWide(p + valuerec::name, value.name);
  bytes::StoreLe16(p, 0);
  if (!value.data.empty()) std::memcpy(p + 2, value.data.data(), value.data.size());
  return std::nullopt;
}

std::span<const uint8_t> PrecompiledWriter::Finish() {
  if (out_of_memory_ || size_ < kHeaderSize) return {};
  bytes::StoreLe32(block_.data() + 4, static_cast<uint32_t>(size_));
  return {block_.data(), size_};
}

}  // namespace hivelore
