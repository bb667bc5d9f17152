// "Datei hinzu" and "Datei ersetzen": bring a file from the PC into the image, stored as read.
#ifndef TARNWICK_ROM_ADD_REPLACE_H_
#define TARNWICK_ROM_ADD_REPLACE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "rom/action_outcome.h"
#include "rom/analysis.h"
#include "rom/rom_image.h"

namespace rom {

struct AddRequest {
  std::string path;                       // the file picked in the open dialog
  std::string entry_name;                 // its name without folder, Windows-1252
  std::optional<uint64_t> creation_time;  // FILETIME from the directory, none: 0
};

// Inserts the name and bytes of the file directly in front of the ROM header, appends a new
// file entry and moves the header block with everything behind it back. Refused when the
// result does not fit the buffer, or when something lies behind the file table that the new
// entry would overwrite.
[[nodiscard]] ActionOutcome AddFile(RomImage& image, RomLists& lists, const AddRequest& request);

// What the replacement reads from the memory map before its dialog.
struct ReplacePlan {
  int64_t index = -1;       // the selected line
  uint32_t start = 0;       // S, first byte of the file's stored bytes
  uint32_t next_start = 0;  // start of the next stretch (a small gap's bytes count as room)
  int32_t room = 0;         // next_start - S
};

// Reads the plan from memory-map line `index`; nullopt where the window does nothing (no
// offsets, or one of the last two lines).
[[nodiscard]] std::optional<ReplacePlan> PlanReplace(const LineList& map, int64_t index);

// Puts the bytes of the file at `path` in the place of the file at plan.start. With a fixed
// block behind, the bytes must fit the room; otherwise what follows moves by the difference.
// `fill` is the preset byte. The "Das gibt eine Lücke" box is reported in `message` and the
// replacement goes on, as it does once the user has closed it.
[[nodiscard]] ActionOutcome ReplaceFile(RomImage& image, RomLists& lists, const ReplacePlan& plan,
                                        const std::string& path, uint8_t fill);

}  // namespace rom

#endif  // TARNWICK_ROM_ADD_REPLACE_H_
