// File and block deletion.
#include "rom/delete.h"

#include <algorithm>
#include <cstring>

#include "rom/edit_guard.h"
#include "rom/edit_steps.h"
#include "rom/rom_header.h"
#include "rom/text_format.h"

namespace rom {

namespace {

// The stretch [first, last]; refused when it reaches to or past ImageLength or its last
// offset lies more than one byte before its first (an empty file's stretch ends one byte
// before it starts).
std::optional<Error> CheckStretch(const RomImage& image, uint32_t first, uint32_t last) {
  if (uint64_t{last} >= static_cast<uint64_t>(image.ImageLength()) || uint64_t{last} + 1 < first) {
    return Error{.kind = ErrorKind::kOutsideImage,
                 .first = first,
                 .last = last,
                 .size = static_cast<uint32_t>(image.ImageLength())};
  }
  return std::nullopt;
}

// End (exclusive) of the removal that starts at `first`: AlignUp4(last), but never past the
// start of the next stretch behind `last` (header block, file data or name) nor past
// ImageLength.
uint32_t RemovalEnd(const RomImage& image, uint32_t first, uint32_t last) {
  uint64_t end = AlignUp4(last);
  end = std::min<uint64_t>(end, static_cast<uint64_t>(image.ImageLength()));
  auto limit = [&](uint32_t start) {
    if (start > last && start < end) end = start;
  };
  if (image.RomHeaderInBuffer()) limit(image.RomHeaderOffset());
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    const FileStretch st = FileStretchOf(image, i);
    limit(st.data_offset);
    limit(st.name_offset);
  }
  return static_cast<uint32_t>(std::max<uint64_t>(end, first));
}

// Removes file entry `index` from the table: the entries behind it move one place forward,
// the freed last place takes the fill byte, numfiles drops by one.
void RemoveTableEntry(RomImage& image, uint32_t index, uint8_t fill) {
  const uint32_t count = image.FileCount();
  const auto table = *image.MutableBytes(image.FileTable(), uint64_t{count} * filesentry::kSize);
  const size_t size = filesentry::kSize;
  std::memmove(table.data() + index * size, table.data() + (index + 1) * size,
               (count - 1 - index) * size);
  std::memset(table.data() + (count - 1) * size, fill, size);
  const RecordView hdr = *RomHeaderView(image);
  hdr.Set(romhdr::numfiles, hdr.Get(romhdr::numfiles) - 1);
}

// Removes [start, start + delta): corrects the entries and the header pointers behind it,
// drops `entry` from the table, closes the gap.
Removal Remove(RomImage& image, uint32_t start, uint32_t delta, std::optional<uint32_t> entry,
               uint8_t fill) {
  const bool follows = PhysLastIsImageEnd(image);
  const Move move{start + delta, -static_cast<int32_t>(delta)};
  const uint32_t count = RelocateFileEntries(image, move, entry);
  if (entry) RemoveTableEntry(image, *entry, fill);
  MoveHeaderPointers(image, move);
  CloseGap(image, start, delta, fill);
  image.SetImageLength(int64_t{image.ImageLength()} - delta);
  // The entries and the header moved: find them again before anyone reads them.
  image.MarkEdited();
  (void)LocateRomHeader(image);
  FollowImageEnd(image, follows);
  return {delta, count, image.RomBase()};
}

}  // namespace

std::string Describe(const Removal& removal) {
  return "Delta= " + Hex(removal.delta, 1) +
         " geänderte Direntries= " + std::to_string(removal.count) +
         " Base= " + H8(removal.rom_base);
}

namespace {

// The stretch a deletion of file `entry` removes: [start, start + delta).
struct FileRemoval {
  uint32_t start = 0;
  uint32_t delta = 0;
};

Result<FileRemoval> PlanFileRemoval(const RomImage& image, uint32_t entry) {
  if (entry >= image.FileCount()) return Error{.kind = ErrorKind::kNoEntry, .first = entry};
  const FileStretch st = FileStretchOf(image, entry);
  const uint32_t first = st.data_offset;
  const uint32_t last = st.data_offset + st.data_length - 1;
  if (auto e = CheckStretch(image, first, last)) return *e;

  uint32_t removal = first;
  uint32_t delta = RemovalEnd(image, first, last) - first;
  // The name counts as lying directly in front when the gap up to the data is no longer than
  // the name, its 0 byte and the padding to a multiple of 4.
  if (st.name_offset != 0 && st.name_offset < first) {
    const uint32_t gap = first - st.name_offset;
    if (uint64_t{image.RomStringLength(st.name_offset + image.RomBase())} + 4 >= gap) {
      delta += gap;
      removal = st.name_offset;
    }
  }
  if (auto e = CheckEdit(image, {removal, removal + delta, delta != 0, entry})) return *e;
  return FileRemoval{removal, delta};
}

}  // namespace

std::optional<Error> CheckDeleteFile(const RomImage& image, uint32_t entry) {
  const Result<FileRemoval> plan = PlanFileRemoval(image, entry);
  if (!plan) return plan.error();
  return std::nullopt;
}

Result<Removal> DeleteFile(RomImage& image, uint32_t entry, uint8_t fill) {
  const Result<FileRemoval> plan = PlanFileRemoval(image, entry);
  if (!plan) return plan.error();
  return Remove(image, plan->start, plan->delta, entry, fill);
}

Result<Removal> DeleteBlock(RomImage& image, uint32_t first, uint32_t last, uint8_t fill) {
  if (auto e = CheckStretch(image, first, last)) return *e;
  const uint32_t delta = RemovalEnd(image, first, last) - first;
  if (auto e = CheckEdit(image, {first, first + delta, delta != 0, std::nullopt})) return *e;
  return Remove(image, first, delta, std::nullopt, fill);
}

}  // namespace rom
