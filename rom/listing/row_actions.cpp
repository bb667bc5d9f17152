// Entries, replacement plans and deletions of selected list rows.
#include "rom/listing/row_actions.h"

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
  if (index >= static_cast<int64_t>(map.size()) - 2) return std::nullopt;
  auto next = static_cast<size_t>(index) + 1;
  if (map[next].kind == StretchKind::kSmallGap) ++next;
  const uint32_t next_start = map[next].first;
  return ReplacePlan{*row->entry, row->first, next_start,
                     static_cast<int32_t>(next_start - row->first), FixedBlockFollows(map, index)};
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
