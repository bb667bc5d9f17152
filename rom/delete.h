// "Datei löschen" and "Block löschen": remove a stretch and move everything behind it forward.
#ifndef TARNWICK_ROM_DELETE_H_
#define TARNWICK_ROM_DELETE_H_

#include <cstdint>

#include "rom/action_outcome.h"
#include "rom/analysis.h"
#include "rom/rom_image.h"

namespace rom {

struct DeleteClick {
  bool show_block_warning = false;  // a non-file line: show the "einen Block löschen" panel
  ActionOutcome outcome;            // the file deletion, when the line is a file line
};

// The delete button on memory-map line `index`: deletes the file of a file line (its stored
// bytes, its name when that lies directly in front, and its table entry), or asks for the
// warning panel on any other line. `fill` is the preset byte.
[[nodiscard]] DeleteClick DeleteButtonClick(RomImage& image, RomLists& lists, int64_t index,
                                            uint8_t fill);

// "Ja diesen Block löschen": removes the stretch of line `index`; the file table keeps its
// entries.
[[nodiscard]] ActionOutcome DeleteBlock(RomImage& image, RomLists& lists, int64_t index,
                                        uint8_t fill);

}  // namespace rom

#endif  // TARNWICK_ROM_DELETE_H_
