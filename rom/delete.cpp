// File and block deletion.
#include "rom/delete.h"

#include <algorithm>
#include <cstring>

#include "rom/edit_steps.h"
#include "rom/rom_header.h"
#include "rom/selection.h"
#include "rom/text_format.h"

namespace rom {

namespace {

struct Stretch {
  uint32_t first;  // S
  uint32_t last;   // E, inclusive
};

// S and E of the line, refused when the stretch reaches to or past ImageLength or its last
// offset lies more than one byte before its first.
std::optional<Stretch> ReadStretch(const RomImage& image, const std::string& line,
                                   ActionOutcome& refusal) {
  const auto s = LineStart(line);
  const auto e = LineEnd(line);
  if (!s || !e) {
    refusal = Nothing("the selected line holds no offsets");
    return std::nullopt;
  }
  if (uint64_t{*e} >= static_cast<uint64_t>(image.ImageLength) || uint64_t{*e} + 1 < *s) {
    refusal =
        Refused("Der Bereich " + H8(*s) + " .. " + H8(*e) + " liegt nicht im Image (L\xE4nge " +
                    H8(static_cast<uint32_t>(image.ImageLength)) + ")",
                "Das geht nicht");
    return std::nullopt;
  }
  return Stretch{*s, *e};
}

// End (exclusive) of the removal that starts at S: AlignUp4(E), but never past the start of
// the next stretch behind E (header block, file data or name) nor past ImageLength.
uint32_t RemovalEnd(RomImage& image, const Stretch& st) {
  uint64_t end = AlignUp4(st.last);
  end = std::min<uint64_t>(end, static_cast<uint64_t>(image.ImageLength));
  auto limit = [&](uint32_t start) {
    if (start > st.last && start < end) end = start;
  };
  if (image.RomHeaderInBuffer) limit(image.RomHeaderOffset);
  for (uint32_t i = 0; i < image.FileCount; ++i) {
    limit(static_cast<uint32_t>(FileDataOffset(image, i)));
    limit(static_cast<uint32_t>(FileNameOffset(image, i)));
  }
  return static_cast<uint32_t>(std::max<uint64_t>(end, st.first));
}

ActionOutcome Removed(RomImage& image, RomLists& lists, uint32_t delta, uint32_t count) {
  AnalyseImage(image, lists);
  ActionOutcome o;
  o.status = ActionStatus::kDone;
  o.lists_rebuilt = true;
  o.select_index = -1;
  o.status2 = DeletionStatus(delta, count, image.RomBase);
  return o;
}

// Removes file entry `index` from the table: the entries behind it move one place forward,
// the freed last place takes the fill byte, numfiles drops by one.
void RemoveTableEntry(RomImage& image, uint32_t index, uint8_t fill) {
  uint8_t* table = FileEntry(image, 0)->Bytes();
  const size_t size = filesentry::kSize;
  std::memmove(table + index * size, table + (index + 1) * size,
               (image.FileCount - 1 - index) * size);
  std::memset(table + (image.FileCount - 1) * size, fill, size);
  --image.FileCount;
  const RecordView hdr = *RomHeaderView(image);
  hdr.Set(romhdr::numfiles, hdr.Get(romhdr::numfiles) - 1);
}

}  // namespace

DeleteClick DeleteButtonClick(RomImage& image, RomLists& lists, int64_t index, uint8_t fill) {
  DeleteClick click;
  const std::string* line = SelectedLine(lists.MemoryMap, index);
  if (!line) {
    click.outcome = Nothing("no line selected");
    return click;
  }
  if (!IsFileLine(*line)) {
    click.show_block_warning = true;
    click.outcome = Nothing("waiting for the answer of the warning panel");
    return click;
  }
  const auto st = ReadStretch(image, *line, click.outcome);
  if (!st) return click;

  uint32_t removal = st->first;
  uint32_t delta = RemovalEnd(image, *st) - st->first;

  // The name counts as lying directly in front when the gap up to the data is no longer than
  // the name, its 0 byte and the padding to a multiple of 4.
  uint32_t name = 0;
  int64_t entry = -1;
  for (uint32_t i = 0; i < image.FileCount; ++i) {
    if (static_cast<uint32_t>(FileDataOffset(image, i)) == st->first) {
      name = static_cast<uint32_t>(FileNameOffset(image, i));
      entry = i;
    }
  }
  if (name != 0 && name < st->first) {
    const uint32_t gap = st->first - name;
    if (uint64_t{image.RomStringLength(name + image.RomBase)} + 4 >= gap) {
      delta += gap;
      removal = name;
    }
  }

  const uint32_t count = RelocateFileEntries(image, st->first, -static_cast<int32_t>(delta));
  if (entry >= 0) RemoveTableEntry(image, static_cast<uint32_t>(entry), fill);
  MoveHeaderPointers(image, removal, -static_cast<int32_t>(delta));
  CloseGap(image, removal, delta, fill);
  image.ImageLength -= static_cast<int32_t>(delta);
  click.outcome = Removed(image, lists, delta, count);
  return click;
}

ActionOutcome DeleteBlock(RomImage& image, RomLists& lists, int64_t index, uint8_t fill) {
  const std::string* line = SelectedLine(lists.MemoryMap, index);
  if (!line) return Nothing("no line selected");
  ActionOutcome refusal;
  const auto st = ReadStretch(image, *line, refusal);
  if (!st) return refusal;
  const uint32_t delta = RemovalEnd(image, *st) - st->first;
  const uint32_t count = RelocateFileEntries(image, st->first, -static_cast<int32_t>(delta));
  MoveHeaderPointers(image, st->first, -static_cast<int32_t>(delta));
  CloseGap(image, st->first, delta, fill);
  image.ImageLength -= static_cast<int32_t>(delta);
  return Removed(image, lists, delta, count);
}

}  // namespace rom
