// Loading, readers and the record walk of RegistryImage.
#include "tools/hivelore/registry_image.h"

#include <utility>

#include "bytes/byte_order.h"

namespace hivelore {

void RegistryImage::LoadBytes(std::vector<uint8_t> bytes) {
  owned_ = std::move(bytes);
  block_ = ByteBlock();
  bytes_ = owned_;
  cursor_ = 0;
  body_start_ = 0;
}

void RegistryImage::LoadBlock(ByteBlock block) {
  owned_.clear();
  block_ = std::move(block);
  bytes_ = block_.bytes();
  cursor_ = 0;
  body_start_ = 0;
}

bool RegistryImage::CheckSignature() { return ReadU32() == kRegistrySignature; }

uint16_t RegistryImage::ReadU16() {
  const uint16_t v = U16At(cursor_);
  cursor_ += 2;
  return v;
}

uint32_t RegistryImage::ReadU32() {
  const uint32_t low = ReadU16();
  return low | (static_cast<uint32_t>(ReadU16()) << 16);
}

std::string RegistryImage::ReadWideString() {
  std::string text;
  // Fast path inside the file: find the terminator, then take the low bytes before it. Past
  // the end of the file every unit reads as the terminator.
  const size_t start = static_cast<size_t>(cursor_);
  size_t end = start;
  while (static_cast<int64_t>(end) + 1 < size() && (bytes_[end] | bytes_[end + 1]) != 0) end += 2;
  text.resize((end - start) / 2);
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(bytes_[start + 2 * i]);
  cursor_ = static_cast<int64_t>(end);
  if (cursor_ + 1 < size()) {
    cursor_ += 2;  // the terminator
    return text;
  }
  // The last unit may be cut by the end of the file: its missing high byte reads as zero.
  const uint16_t unit = ReadU16();
  if (unit != 0) {
    text.push_back(static_cast<char>(unit & 0xFF));
    cursor_ += 2;  // the terminator that lies past the end
  }
  return text;
}

uint16_t RegistryImage::U16At(int64_t offset) const {
  if (offset >= 0 && offset + 1 < size()) {
    return bytes::LoadLe16(bytes_.data() + static_cast<size_t>(offset));
  }
  return static_cast<uint16_t>(ByteAt(offset) | (ByteAt(offset + 1) << 8));
}

bool RegistryImage::HasOlderKeyLayout(uint16_t body_length) const {
  // Only a body that the older layout fills exactly is read that way. In the current layout
  // the word at offset 4 is the path's first unit, 0 only for an empty path in a 6-byte body,
  // which no length n >= 1 fits.
  const uint32_t n = U16At(body_start_ + oldkeyrec::pathLength);
  return n != 0 && U16At(body_start_ + oldkeyrec::zero) == 0 &&
         body_length == oldkeyrec::kFixedSize + 2 * n &&
         U16At(body_start_ + oldkeyrec::path + 2 * (int64_t{n} - 1)) == 0;
}

void RegistryImage::WalkRecords(RecordSink& sink) {
  while (cursor_ < size() && !sink.stopped()) {
    const uint16_t body_length = ReadU16();
    const uint16_t record_type = ReadU16();
    body_start_ = cursor_;
    if (record_type == kKeyRecord) {
      const uint16_t root = ReadU16();
      ReadU16();
      if (HasOlderKeyLayout(body_length)) cursor_ = body_start_ + oldkeyrec::path;
      const std::string path = ReadWideString();
      sink.WriteKeyLine(root, path);
    } else if (record_type == kValueRecord) {
      const uint16_t value_type = ReadU16();
      ReadU16();
      const uint16_t data_length = ReadU16();
      const std::string name = ReadWideString();
      const ValueData data = cursor_ < size() ? ValueData(bytes_.data() + cursor_,
                                                          static_cast<size_t>(size() - cursor_))
                                              : ValueData();
      sink.WriteValueLine(value_type, data_length, name, data);
    }
    cursor_ = body_start_ + body_length;
  }
}

bool RegistryImage::FirstKeyHasOlderLayout() {
  while (cursor_ < size()) {
    const uint16_t body_length = ReadU16();
    const uint16_t record_type = ReadU16();
    body_start_ = cursor_;
    cursor_ = body_start_ + body_length;
    if (record_type == kKeyRecord) {
      const bool older = HasOlderKeyLayout(body_length);
      cursor_ = size();
      return older;
    }
  }
  return false;
}

}  // namespace hivelore
