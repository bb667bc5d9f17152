// The image save, flat or as records.
#include "rom/image_save.h"

#include <algorithm>
#include <vector>

#include "fileio/file_io.h"
#include "rom/bin_cuts.h"
#include "rom/bin_records.h"
#include "rom/edit_steps.h"

namespace rom {

bool NamesRecordFile(const std::string& path) {
  if (path.size() < 4) return false;
  std::string end = path.substr(path.size() - 4);
  std::transform(end.begin(), end.end(), end.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return end == ".bin";
}

namespace {

Result<Done> Write(const std::string& path, std::span<const uint8_t> bytes) {
  if (auto e = fileio::WriteFileAtomically(path, bytes)) {
    return Error{.kind = ErrorKind::kFile, .reason = e->Message()};
  }
  return Done{};
}

}  // namespace

Result<Done> SaveImage(RomImage& image, const std::string& path, WrapperChoice wrapper) {
  if (!image.HasData()) return Error{.kind = ErrorKind::kNothingLoaded};
  RefreshSecondPointer(image);
  const auto bytes = *image.Bytes(0, static_cast<uint64_t>(image.ImageLength()));
  const ImageSource& source = image.Source();
  if (!NamesRecordFile(path)) {
    if (wrapper == WrapperChoice::kDrop || source.wrapper.empty()) return Write(path, bytes);
    std::vector<uint8_t> file;
    file.reserve(source.wrapper.size() + bytes.size());
    file.insert(file.end(), source.wrapper.begin(), source.wrapper.end());
    file.insert(file.end(), bytes.begin(), bytes.end());
    return Write(path, file);
  }
  const uint32_t start = source.records ? source.records->start : image.RomBase();
  const uint32_t launch = source.records ? source.records->launch : image.RomBase();
  const std::vector<BinCut> cuts =
      source.records && !source.edited ? CutsOf(*source.records) : CutsForImage(image);
  const BinEncodeResult encoded = EncodeBinRecords(bytes, start, launch, cuts);
  if (encoded.error) {
    return Error{
        .kind = ErrorKind::kRecordsNotWritten, .path = path, .reason = encoded.error->Message()};
  }
  return Write(path, encoded.bytes);
}

}  // namespace rom
