// RomImage buffer handling, checked access and the load sequence.
#include "rom/rom_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "bytes/byte_order.h"
#include "fileio/file_io.h"

namespace rom {

int64_t FlashBufferSize(FlashChoice choice, int64_t image_size) {
  const int64_t flash = choice == FlashChoice::k64MB ? k64MiB : k32MiB;
  return image_size < flash ? flash : image_size;
}

std::string FlashSizeText(int32_t buffer_size) {
  return "max. FlashSize: " + std::to_string(buffer_size) + " ( " +
         std::to_string(buffer_size / 1048576) + " MB )";
}

void RomImage::SetImageLength(int64_t length) {
  image_length_ = static_cast<int32_t>(std::clamp<int64_t>(length, 0, buffer_size_));
}

std::optional<std::span<const uint8_t>> RomImage::Bytes(uint64_t offset, uint64_t length) const {
  if (!Fits(offset, length)) return std::nullopt;
  return std::span<const uint8_t>(data_.get() + offset, static_cast<size_t>(length));
}

std::optional<std::span<uint8_t>> RomImage::MutableBytes(uint64_t offset, uint64_t length) {
  if (!Fits(offset, length)) return std::nullopt;
  return std::span<uint8_t>(data_.get() + offset, static_cast<size_t>(length));
}

std::span<const uint8_t> RomImage::Buffer() const {
  return {data_.get(), static_cast<size_t>(buffer_size_)};
}

std::span<uint8_t> RomImage::MutableBuffer() {
  return {data_.get(), static_cast<size_t>(buffer_size_)};
}

std::optional<uint32_t> RomImage::Dword(uint64_t offset) const {
  const auto b = Bytes(offset, 4);
  if (!b) return std::nullopt;
  return bytes::LoadLe32(b->data());
}

std::optional<uint32_t> RomImage::DwordBE(uint64_t offset) const {
  const auto b = Bytes(offset, 4);
  if (!b) return std::nullopt;
  return bytes::LoadBe32(b->data());
}

bool RomImage::SetDword(uint64_t offset, uint32_t value) {
  const auto b = MutableBytes(offset, 4);
  if (!b) return false;
  bytes::StoreLe32(b->data(), value);
  return true;
}

uint32_t RomImage::RomStringLength(uint32_t address) const {
  const uint32_t offset = address - location_.RomBase;
  if (!Fits(offset, 1)) return 0;
  const size_t avail = std::min<size_t>(static_cast<size_t>(buffer_size_) - offset, kMaxNameLength);
  const uint8_t* start = data_.get() + offset;
  const void* zero = std::memchr(start, 0, avail);
  return static_cast<uint32_t>(zero ? static_cast<const uint8_t*>(zero) - start : avail);
}

std::string RomImage::ReadRomString(uint32_t address) const {
  const uint32_t length = RomStringLength(address);
  if (length == 0) return {};
  const auto b = *Bytes(address - location_.RomBase, length);
  return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

void RomImage::Release() {
  data_.reset();
  file_name_.clear();
  image_length_ = 0;
  buffer_size_ = 0;
  ResetLocation();
  source_ = ImageSource{};
}

void RomImage::Adopt(std::unique_ptr<uint8_t[]> data, int32_t size, int32_t length) {
  data_ = std::move(data);
  buffer_size_ = size;
  image_length_ = length;
}

Result<LoadedImage> LoadImage(RomImage& image, const std::string& path, FlashChoice flash,
                              uint8_t fill) {
  image.Release();

  fileio::OpenResult opened = fileio::OpenForReading(path);
  if (opened.error) return Error{.kind = ErrorKind::kFile, .reason = opened.error->Message()};
  const auto file_size = static_cast<int64_t>(opened.file.size());
  const int64_t buffer_size = FlashBufferSize(flash, file_size);
  if (buffer_size > kMaxBufferSize) {
    return Error{
        .kind = ErrorKind::kFileTooLarge, .path = path, .size = static_cast<uint64_t>(file_size)};
  }
  const auto size32 = static_cast<int32_t>(buffer_size);

  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[static_cast<size_t>(size32)]);
  if (!data) {
    return Error{.kind = ErrorKind::kOutOfMemory,
                 .path = path,
                 .size = static_cast<uint64_t>(size32),
                 .buffer_size = size32};
  }
  const auto length = static_cast<size_t>(file_size);
  const auto read_error = opened.file.ReadExactly({data.get(), length});
  // Only the bytes behind the file keep the fill; filling them alone gives the same buffer.
  const size_t filled_from = read_error ? 0 : length;
  std::memset(data.get() + filled_from, fill, static_cast<size_t>(size32) - filled_from);
  image.Adopt(std::move(data), size32, static_cast<int32_t>(file_size));
  if (read_error) {
    return Error{.kind = ErrorKind::kFile, .reason = read_error->Message(), .buffer_size = size32};
  }
  image.SetFileName(path);
  return LoadedImage{.buffer_size = size32};
}

}  // namespace rom
