// RomImage buffer handling, checked access and the load sequence.
#include "rom/rom_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "rom/byte_order.h"
#include "rom/file_io.h"

namespace rom {

int64_t FlashBufferSize(FlashChoice choice, int64_t file_size) {
  const int64_t flash = choice == FlashChoice::k64MB ? k64MiB : k32MiB;
  return file_size < flash ? flash : file_size;
}

std::string FlashSizeText(int32_t buffer_size) {
  return "max. FlashSize: " + std::to_string(buffer_size) + " ( " +
         std::to_string(buffer_size / 1048576) + " MB )";
}

std::optional<uint32_t> RomImage::Dword(uint64_t offset) const {
  if (!Fits(offset, 4)) return std::nullopt;
  return LoadLe32(data_.get() + offset);
}

bool RomImage::SetDword(uint64_t offset, uint32_t value) {
  if (!Fits(offset, 4)) return false;
  StoreLe32(data_.get() + offset, value);
  return true;
}

std::optional<uint32_t> RomImage::ReadDwordBE(int32_t step) {
  if (Cursor < 0 || !Fits(static_cast<uint64_t>(Cursor), 4)) return std::nullopt;
  const uint32_t v = LoadBe32(data_.get() + Cursor);
  Cursor += step;
  return v;
}

std::optional<uint32_t> RomImage::ReadDword(int32_t step) {
  if (Cursor < 0 || !Fits(static_cast<uint64_t>(Cursor), 4)) return std::nullopt;
  const uint32_t v = LoadLe32(data_.get() + Cursor);
  Cursor += step;
  return v;
}

uint32_t RomImage::RomStringLength(uint32_t address) const {
  const uint32_t offset = address - RomBase;
  if (!Fits(offset, 1)) return 0;
  const uint8_t* start = data_.get() + offset;
  const size_t avail = std::min<size_t>(static_cast<size_t>(BufferSize) - offset, kMaxNameLength);
  const void* zero = std::memchr(start, 0, avail);
  return static_cast<uint32_t>(zero ? static_cast<const uint8_t*>(zero) - start : avail);
}

std::string RomImage::ReadRomString(uint32_t address) const {
  const uint32_t length = RomStringLength(address);
  if (length == 0) return {};
  const uint8_t* start = data_.get() + (address - RomBase);
  return std::string(reinterpret_cast<const char*>(start), length);
}

void RomImage::ResetDerived() {
  SignatureOffset = -1;
  HeaderPointerOffset = 0;
  SecondPointerOffset = 0;
  RomBase = 0;
  RomHeaderOffset = 0;
  RomHeaderInBuffer = false;
  ModuleTable = 0;
  FileTable = 0;
  ModuleCount = 0;
  FileCount = 0;
}

void RomImage::Release() {
  data_.reset();
  FileName.clear();
  ImageLength = 0;
  BufferSize = 0;
  Cursor = 0;
  ResetDerived();
}

void RomImage::Adopt(std::unique_ptr<uint8_t[]> data, int32_t size, int32_t length) {
  data_ = std::move(data);
  BufferSize = size;
  ImageLength = length;
  Cursor = 0;
}

namespace {

std::string SystemError(const std::string& path, int err) {
  return path + ": " + std::strerror(err);
}

}  // namespace

LoadResult LoadImage(RomImage& image, const std::string& path, FlashChoice flash, uint8_t fill) {
  LoadResult result;
  image.Release();

  OpenedFile opened = OpenForReading(path);
  if (!opened.file) {
    result.error = opened.error;
    return result;
  }
  std::FILE* const file = opened.file.get();
  const int64_t file_size = opened.size;
  const int64_t buffer_size = FlashBufferSize(flash, file_size);
  if (buffer_size > kMaxBufferSize) {
    result.error = path + ": file too large (" + std::to_string(file_size) + " bytes; at most " +
                   std::to_string(kMaxBufferSize) + ")";
    return result;
  }
  const auto size32 = static_cast<int32_t>(buffer_size);
  result.status_text = FlashSizeText(size32);

  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[static_cast<size_t>(size32)]);
  if (!data) {
    result.error = path + ": out of memory for a buffer of " + std::to_string(size32) + " bytes";
    return result;
  }
  const auto length = static_cast<size_t>(file_size);
  // Only the bytes behind the file keep the fill; filling them alone gives the same buffer.
  const size_t got = std::fread(data.get(), 1, length, file);
  const int read_errno = errno;
  const bool read_ok = got == length && !std::ferror(file);
  std::memset(data.get() + (read_ok ? length : 0), fill,
              static_cast<size_t>(size32) - (read_ok ? length : 0));
  image.Adopt(std::move(data), size32, static_cast<int32_t>(file_size));
  if (!read_ok) {
    result.error = got < length && !std::ferror(file)
                       ? path + ": file shorter than its size"
                       : SystemError(path, read_errno ? read_errno : EIO);
    return result;
  }
  image.FileName = path;
  result.ok = true;
  return result;
}

}  // namespace rom
