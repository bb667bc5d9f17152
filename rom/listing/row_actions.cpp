// Entries, replacement plans and deletions of selected list rows.
#include "rom/listing/row_actions.h"

#include "rom/edit_guard.h"

namespace rom {

std::optional<EntryRef> EntryOfLogRow(const RomLists& lists, int64_t index) {
  const LogRow* row = lists.LogRowAt(index);
  if (!row || !row->entry) return std::nullopt;
  switch (row->kind) {
    case LogRowKind::kModule:
      return EntryRef{EntryRef::Kind::kModule, *row->entry};
    case LogRowKind::kFile:
      return EntryRef{EntryRef::Kind::kFile, *row->entry};
    case LogRowKind::kOther:
      break;
  }
  return std::nullopt;
}

std::optional<EntryRef> EntryOfMapRow(const RomLists& lists, int64_t index) {
  const MapRow* row = lists.MapRowAt(index);
  if (!row || !row->entry || row->kind != StretchKind::kFileData) return std::nullopt;
  return EntryRef{EntryRef::Kind::kFile, *row->entry};
}

bool FixedBlockFollows(std::span<const MapRow> map, int64_t index) {
  if (index < 0) index = 0;
  for (auto i = static_cast<size_t>(index); i < map.size(); ++i) {
    if (map[i].kind == StretchKind::kFixedBlock) return true;
  }
  return false;
}

std::optional<ReplacePlan> PlanReplace(const RomLists& lists, int64_t index) {
  const MapRow* row = lists.MapRowAt(index);
  if (!row || row->kind != StretchKind::kFileData || !row->entry) return std::nullopt;
  const std::vector<MapRow>& map = lists.MemoryMap;
  // A file data row is never the last one: the "unallocated" row ends every map.
  auto next = static_cast<size_t>(index) + 1;
  if (next < map.size() && map[next].kind == StretchKind::kSmallGap) ++next;
  if (next >= map.size()) return std::nullopt;
  const uint32_t next_start = map[next].first;
  return ReplacePlan{*row->entry, row->first, next_start,
                     static_cast<int32_t>(next_start - row->first), FixedBlockFollows(map, index)};
}

std::optional<Error> WhyNoReplacement(const RomImage& image, const RomLists& lists,
                                      int64_t index) {
  const auto plan = PlanReplace(lists, index);
  if (!plan) return Error{.kind = ErrorKind::kNotAFile};
  if (plan->room < 0) {
    return Error{.kind = ErrorKind::kOutsideImage,
                 .first = plan->start,
                 .last = uint64_t{plan->next_start} - 1,
                 .size = static_cast<uint32_t>(image.ImageLength())};
  }
  // Bytes of the old room's size move nothing: what refuses them refuses every replacement.
  return CheckEdit(image, {plan->start, plan->next_start, false, plan->entry});
}

std::optional<Error> WhyNoFileDeletion(const RomImage& image, const RomLists& lists,
                                       int64_t index) {
  const MapRow* row = lists.MapRowAt(index);
  if (!row || row->kind != StretchKind::kFileData || !row->entry) return std::nullopt;
  if (FixedBlockFollows(lists.MemoryMap, index)) {
    return Error{.kind = ErrorKind::kFixedBlockBehind, .first = row->first};
  }
  return CheckDeleteFile(image, *row->entry);
}

Result<Removal> DeleteStretch(RomImage& image, const RomLists& lists, int64_t index, uint8_t fill) {
  const MapRow* row = lists.MapRowAt(index);
  if (row && row->kind == StretchKind::kFixedBlock) {
    return DeleteBlock(image, row->first, row->last, fill);
  }
  if (!row || row->kind != StretchKind::kFileData || !row->entry) {
    return Error{.kind = ErrorKind::kNotAFile};
  }
  if (FixedBlockFollows(lists.MemoryMap, index)) {
    return Error{.kind = ErrorKind::kFixedBlockBehind, .first = row->first};
  }
  return DeleteFile(image, *row->entry, fill);
}

}  // namespace rom
