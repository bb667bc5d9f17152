// LoadBinImage: the record walk fed from the file through a small staging buffer.
#include "rom/bin_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "fileio/file_io.h"
#include "rom/bin_layout.h"

namespace rom {

namespace {

// Record heads and short records are read through a staging buffer, so a file of many small
// records costs few system calls; long data go straight into the image buffer in pieces small
// enough to be summed while they are still in the cache.
constexpr size_t kStageSize = 128 * 1024;
constexpr size_t kDirectPiece = 256 * 1024;

class FileBinSource final : public BinSource {
 public:
  explicit FileBinSource(fileio::InputFile& file)
      : file_(file), unread_(file.size()), stage_(kStageSize) {}

  [[nodiscard]] uint64_t Remaining() const override { return unread_ + (end_ - pos_); }

  [[nodiscard]] bool Read(std::span<uint8_t> out) override {
    if (out.size() > Remaining()) return false;
    size_t done = 0;
    while (done < out.size()) {
      if (pos_ == end_ && !Refill()) return false;
      const size_t n = std::min(out.size() - done, end_ - pos_);
      std::memcpy(out.data() + done, stage_.data() + pos_, n);
      pos_ += n;
      done += n;
    }
    return true;
  }

  [[nodiscard]] std::optional<uint32_t> TakeData(uint32_t length, uint8_t* dest) override {
    if (length > Remaining()) return std::nullopt;
    uint32_t sum = 0;
    size_t left = length;
    auto take_staged = [&] {
      const size_t n = std::min(left, end_ - pos_);
      const std::span<const uint8_t> staged(stage_.data() + pos_, n);
      if (dest != nullptr) {
        std::memcpy(dest, staged.data(), n);
        dest += n;
      }
      sum += BinChecksum(staged);
      pos_ += n;
      left -= n;
    };
    take_staged();
    while (dest != nullptr && left >= kStageSize) {
      const size_t n = std::min(left, kDirectPiece);
      if (auto e = file_.ReadExactly(std::span<uint8_t>(dest, n))) {
        error_ = std::move(e);
        return std::nullopt;
      }
      unread_ -= n;
      sum += BinChecksum(std::span<const uint8_t>(dest, n));
      dest += n;
      left -= n;
    }
    while (left > 0) {
      if (!Refill()) return std::nullopt;
      take_staged();
    }
    return sum;
  }

  // The file error behind a failed Read or TakeData.
  [[nodiscard]] const std::optional<fileio::Error>& error() const { return error_; }

 private:
  bool Refill() {
    const auto n = static_cast<size_t>(std::min<uint64_t>(kStageSize, unread_));
    if (n == 0) return false;
    if (auto e = file_.ReadExactly(std::span<uint8_t>(stage_.data(), n))) {
      error_ = std::move(e);
      return false;
    }
    unread_ -= n;
    pos_ = 0;
    end_ = n;
    return true;
  }

  fileio::InputFile& file_;
  uint64_t unread_;  // bytes of the file not yet staged or read
  std::vector<uint8_t> stage_;
  size_t pos_ = 0;
  size_t end_ = 0;
  std::optional<fileio::Error> error_;
};

}  // namespace

bool BeginsWithBinSync(const std::string& path) {
  fileio::OpenResult opened = fileio::OpenForReading(path);
  if (opened.error || opened.file.size() < binhead::kSyncSize) return false;
  uint8_t sync[binhead::kSyncSize];
  if (opened.file.ReadExactly(sync)) return false;
  return IsBinRecordFile(sync);
}

Result<LoadedImage> LoadBinImage(RomImage& image, const std::string& path, FlashChoice flash,
                                 uint8_t fill) {
  image.Release();

  fileio::OpenResult opened = fileio::OpenForReading(path);
  if (opened.error) return Error{.kind = ErrorKind::kFile, .reason = opened.error->Message()};
  FileBinSource source(opened.file);
  // A refusal of the records; a read that failed is the file system's error.
  auto refuse = [&source, &path](const BinError& e, std::optional<int32_t> buffer_size) {
    if (e.kind == BinErrorKind::kReadFailed && source.error()) {
      return Error{.kind = ErrorKind::kFile,
                   .reason = source.error()->Message(),
                   .records = e,
                   .buffer_size = buffer_size};
    }
    return Error{
        .kind = ErrorKind::kRecords, .path = path, .records = e, .buffer_size = buffer_size};
  };

  const BinHeadResult head = ReadBinHead(source);
  if (head.error) return refuse(*head.error, std::nullopt);
  const int64_t buffer_size = FlashBufferSize(flash, head.head.length);
  if (buffer_size > kMaxBufferSize) {
    return refuse({.kind = BinErrorKind::kImageTooLarge,
                   .count = head.head.length,
                   .image_length = static_cast<uint32_t>(kMaxBufferSize)},
                  std::nullopt);
  }
  const auto size32 = static_cast<int32_t>(buffer_size);

  // Not preset here: the walk writes every byte, the records' and the fill around them.
  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[static_cast<size_t>(size32)]);
  if (!data) {
    return Error{.kind = ErrorKind::kOutOfMemory,
                 .path = path,
                 .size = static_cast<uint64_t>(size32),
                 .buffer_size = size32};
  }
  BinReadResult body = ReadBinBody(
      source, head.head, std::span<uint8_t>(data.get(), static_cast<size_t>(size32)), fill);
  if (body.error) return refuse(*body.error, size32);

  image.Adopt(std::move(data), size32, static_cast<int32_t>(head.head.length));
  image.SetFileName(path);
  return LoadedImage{.buffer_size = size32, .records = std::move(body.layout)};
}

}  // namespace rom
