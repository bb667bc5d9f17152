// What an action on a selected row of the lists works on: the entry a row names, where a
// replacement's bytes go, and the deletion of a row's file or block.
//
// Both front ends (the window's presenter and the console) pick a row and call these; each
// decision reads the row's fields (analysis.h), never its text.
#ifndef TARNWICK_ROM_LISTING_ROW_ACTIONS_H_
#define TARNWICK_ROM_LISTING_ROW_ACTIONS_H_

#include <cstdint>
#include <optional>
#include <span>

#include "rom/add_replace.h"
#include "rom/delete.h"
#include "rom/export.h"
#include "rom/listing/analysis.h"
#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// The entry a list row describes: a module or file row of the log, a file data row of the
// memory map. nullopt for every other row.
[[nodiscard]] std::optional<EntryRef> EntryOfLogRow(const RomLists& lists, int64_t index);
[[nodiscard]] std::optional<EntryRef> EntryOfMapRow(const RomLists& lists, int64_t index);

// True when the map row at `index` or any later row is a fixed block: a file there cannot be
// deleted.
[[nodiscard]] bool FixedBlockFollows(std::span<const MapRow> map, int64_t index);

// The plan for memory-map row `index`: nullopt where nothing can be replaced (not a file
// data row). The file's room reaches to the next row's start, for the last file the start of
// the "unallocated" row, where the image ends; a small gap's bytes behind it count as room.
[[nodiscard]] std::optional<ReplacePlan> PlanReplace(const RomLists& lists, int64_t index);

// Why the file of memory-map row `index` cannot be replaced by any bytes at all (kNotAFile
// for a row of no file, or what the edit guard says about the file's room); nullopt when it
// can, at least by bytes that fit its room.
[[nodiscard]] std::optional<Error> WhyNoReplacement(const RomImage& image, const RomLists& lists,
                                                    int64_t index);

// Why DeleteStretch on a file data row would be refused (a fixed block or a module behind the
// file, or anything else the edit guard refuses), without changing anything; nullopt when it
// would be done, and for rows of any other kind.
[[nodiscard]] std::optional<Error> WhyNoFileDeletion(const RomImage& image, const RomLists& lists,
                                                     int64_t index);

// Deletes what memory-map row `index` shows: the file of a file data row (refused when a fixed
// block follows anywhere behind it: the bytes behind a file move, and a fixed block may hold
// code that runs in place), or the bytes of a fixed block. Refused for any other row.
[[nodiscard]] Result<Removal> DeleteStretch(RomImage& image, const RomLists& lists, int64_t index,
                                            uint8_t fill);

}  // namespace rom

#endif  // TARNWICK_ROM_LISTING_ROW_ACTIONS_H_
