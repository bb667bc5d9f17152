// File addition in front of the ROM header, and replacement in place.
#include "rom/add_replace.h"

#include <algorithm>
#include <cstring>

#include "rom/edit_steps.h"
#include "rom/file_io.h"
#include "rom/rom_header.h"
#include "rom/selection.h"
#include "rom/text_format.h"

namespace rom {

namespace {

constexpr const char* kNoRoom = "Das geht nicht";

// Both sizes of every file entry whose stored bytes begin at `start`.
void SetSizesOfFilesAt(RomImage& image, uint32_t start, uint32_t size) {
  for (uint32_t i = 0; i < image.FileCount; ++i) {
    if (static_cast<uint32_t>(FileDataOffset(image, i)) != start) continue;
    FileEntry(image, i)->Set(filesentry::nCompFileSize, size);
    FileEntry(image, i)->Set(filesentry::nRealFileSize, size);
  }
}

ActionOutcome NoHeader() { return Refused("Kein ROM Header im Image", kNoRoom); }

}  // namespace

ActionOutcome AddFile(RomImage& image, RomLists& lists, const AddRequest& request) {
  const auto hdr = RomHeaderView(image);
  if (!hdr || image.SignatureOffset < 0) return NoHeader();
  const uint64_t p = image.RomHeaderOffset;
  const uint64_t table_end = p + romhdr::kSize +
                             uint64_t{tocentry::kSize} * hdr->Get(romhdr::nummods) +
                             uint64_t{filesentry::kSize} * hdr->Get(romhdr::numfiles);
  const auto length = static_cast<uint64_t>(image.ImageLength);
  const auto buffer = static_cast<uint64_t>(image.BufferSize);

  if (table_end + filesentry::kSize > buffer) {
    return Refused(
        "Die Datei passt nicht mehr in den Puffer von " + std::to_string(buffer) + " Bytes.",
        kNoRoom);
  }
  ActionOutcome warning;
  if (table_end < length) {
    // Something lies behind the file table: the new entry goes over its first 28 bytes, which
    // is harmless only when they are unused fill.
    warning.beep = true;
    warning.status2 = "A: " + H8(static_cast<uint32_t>(table_end)) +
                      " BLen: " + H8(static_cast<uint32_t>(length));
    const uint8_t* behind = image.Data() + table_end;
    const bool zeros =
        std::all_of(behind, behind + filesentry::kSize, [](uint8_t b) { return b == 0x00; });
    const bool ones =
        std::all_of(behind, behind + filesentry::kSize, [](uint8_t b) { return b == 0xFF; });
    if (!zeros && !ones) {
      ActionOutcome o = Refused("Hinter der Dateitabelle (" + H8(static_cast<uint32_t>(table_end)) +
                                    ") liegen Daten; der neue Eintrag w\xFCrde sie \xFC"
                                    "berschreiben.",
                                kNoRoom);
      o.status2 = warning.status2;
      return o;
    }
  }

  const auto name_area = AlignUp4(static_cast<uint32_t>(request.entry_name.size()) + 1);
  const FileContent file = ReadWholeFile(request.path, buffer);
  if (!file.error.empty()) {
    ActionOutcome o = FileError(file.error);
    o.status2 = warning.status2;
    o.beep = warning.beep;
    return o;
  }
  const auto size = static_cast<uint32_t>(file.bytes.size());
  const uint64_t inserted = uint64_t{name_area} + AlignUp4(size);
  if (length + filesentry::kSize + inserted > buffer ||
      table_end + filesentry::kSize + inserted > buffer) {
    ActionOutcome o = Refused(
        "Die Datei passt nicht mehr in den Puffer von " + std::to_string(buffer) + " Bytes.",
        kNoRoom);
    o.status2 = warning.status2;
    return o;
  }

  // The entry and the count are written where they stand before the move.
  const RecordView entry(image.Data() + table_end);
  const uint64_t time = request.creation_time.value_or(0);
  entry.Set(filesentry::dwFileAttributes, kAttrRom);
  entry.Set(filesentry::ftTime, static_cast<uint32_t>(time));
  entry.Set(filesentry::ftTime + 4, static_cast<uint32_t>(time >> 32));
  entry.Set(filesentry::nRealFileSize, size);
  entry.Set(filesentry::nCompFileSize, size);
  entry.Set(filesentry::lpszFileName, static_cast<uint32_t>(p) + image.RomBase);
  entry.Set(filesentry::ulLoadOffset, static_cast<uint32_t>(p) + name_area + image.RomBase);
  hdr->Set(romhdr::numfiles, hdr->Get(romhdr::numfiles) + 1);
  image.ImageLength += static_cast<int32_t>(filesentry::kSize);

  // The header itself moves, so its offset and address grow in every case.
  const auto s = static_cast<uint64_t>(image.SignatureOffset);
  const auto shift = static_cast<uint32_t>(inserted);
  image.SetDword(s + kSigHeaderOffset, *image.Dword(s + kSigHeaderOffset) + shift);
  image.SetDword(s + kSigHeaderAddress, *image.Dword(s + kSigHeaderAddress) + shift);
  RefreshSecondPointer(image);

  OpenGap(image, static_cast<uint32_t>(p), shift);
  uint8_t* at = image.Data() + p;
  std::memset(at, 0, inserted);
  std::memcpy(at, request.entry_name.data(), request.entry_name.size());
  if (size != 0) std::memcpy(at + name_area, file.bytes.data(), size);
  image.ImageLength += static_cast<int32_t>(inserted);

  AnalyseImage(image, lists);
  ActionOutcome o;
  o.status = ActionStatus::kDone;
  o.beep = warning.beep;
  o.status2 = warning.status2;
  o.lists_rebuilt = true;
  return o;
}

std::optional<ReplacePlan> PlanReplace(const LineList& map, int64_t index) {
  const std::string* line = SelectedLine(map, index);
  if (!line) return std::nullopt;
  const auto start = LineStart(*line);
  if (!start) return std::nullopt;
  if (index >= static_cast<int64_t>(map.size()) - 2) return std::nullopt;
  auto next = static_cast<size_t>(index) + 1;
  if (IsSmallGapLine(map[next])) ++next;
  const auto next_start = LineStart(map[next]);
  if (!next_start) return std::nullopt;
  return ReplacePlan{index, *start, *next_start, static_cast<int32_t>(*next_start - *start)};
}

ActionOutcome ReplaceFile(RomImage& image, RomLists& lists, const ReplacePlan& plan,
                          const std::string& path, uint8_t fill) {
  const auto buffer = static_cast<uint64_t>(image.BufferSize);
  const FileContent file = ReadWholeFile(path, buffer);
  if (!file.error.empty()) return FileError(file.error);
  const auto size = static_cast<uint32_t>(file.bytes.size());
  const int64_t new_area = AlignUp4(size);  // size is below the buffer's size: no wrap
  const uint64_t s = plan.start;
  ActionOutcome o;

  if (FixedBlockFollows(lists.MemoryMap, plan.index)) {
    if (plan.room < new_area) {
      return Refused("Es liegt ein fixer Block dahinter und die Datei ist zu gro\xDF.",
                     "Das geht nicht");
    }
    const uint64_t room = static_cast<uint64_t>(plan.room);
    if (s > buffer || room > buffer - s)
      return Refused(
          "Der Platz liegt au\xDF"
          "erhalb des Puffers",
          kNoRoom);
    if (plan.room > new_area) {
      o.beep = true;
      o.message = BoxMessage{
          "Es liegt ein fixer Block dahinter und die Datei ist kleiner, also bleibt ein Rest "
          "\xFC"
          "brig.",
          "Das gibt eine L\xFC"
          "cke"};
      std::memset(image.Data() + s, fill, room);
    }
    if (size != 0) std::memcpy(image.Data() + s, file.bytes.data(), size);
    SetSizesOfFilesAt(image, plan.start, size);
  } else {
    const int64_t shift = new_area - plan.room;
    const int64_t new_length = image.ImageLength + shift;
    if (new_length > static_cast<int64_t>(buffer)) {
      return Refused(
          "Die Datei passt nicht mehr in den Puffer von " + std::to_string(buffer) + " Bytes.",
          kNoRoom);
    }
    if (new_length < 0 || s + static_cast<uint64_t>(new_area) > buffer ||
        uint64_t{plan.next_start} > buffer ||
        (shift > 0 && plan.next_start + static_cast<uint64_t>(shift) > buffer)) {
      return Refused(
          "Der Platz liegt au\xDF"
          "erhalb des Puffers",
          kNoRoom);
    }
    const auto shift32 = static_cast<int32_t>(shift);
    SetSizesOfFilesAt(image, plan.start, size);
    RelocateFileEntries(image, plan.start, shift32);
    MoveHeaderPointers(image, plan.start, shift32);
    if (shift < 0) {
      CloseGap(image, static_cast<uint32_t>(s + static_cast<uint64_t>(new_area)),
               static_cast<uint32_t>(-shift), fill);
    } else if (shift > 0) {
      OpenGap(image, plan.next_start, static_cast<uint32_t>(shift));
    }
    std::memset(image.Data() + s, fill, static_cast<size_t>(new_area));
    if (size != 0) std::memcpy(image.Data() + s, file.bytes.data(), size);
    image.ImageLength = static_cast<int32_t>(new_length);
  }

  o.status = ActionStatus::kDone;
  o.select_index = ReanalyseKeepingSelection(image, lists, plan.index);
  o.lists_rebuilt = true;
  o.status2 = "ACHTUNG! Real-FileSize ggf. korrigieren!";
  return o;
}

}  // namespace rom
