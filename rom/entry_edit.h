// "Eintrag editieren" with the attribute box, and "Image speichern".
#ifndef TARNWICK_ROM_ENTRY_EDIT_H_
#define TARNWICK_ROM_ENTRY_EDIT_H_

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "rom/action_outcome.h"
#include "rom/analysis.h"
#include "rom/rom_image.h"

namespace rom {

// The check boxes C, H, R, S of the attribute box, in this order, and their bits.
inline constexpr std::array<uint32_t, 4> kAttributeBoxBits = {0x800, 0x002, 0x001, 0x004};

// State of the attribute box beside the image.
struct EditState {
  int32_t EditEntryIndex = -1;  // file entry the open box edits
  bool EditPending = false;     // "OK" writes only while set
};

// What the box shows when "Eintrag editieren" opens it.
struct EditBoxContent {
  std::string att_text;          // "$" and 8 hexadecimal digits
  std::array<bool, 4> checks{};  // C, H, R, S
  std::string real_text;         // the real size in decimal
  std::string status1;           // "edit " + name
};

// "Eintrag editieren" on memory-map line `index`: updates `state` and returns the box's
// content when the box opens (a file line whose offset belongs to a file entry).
[[nodiscard]] std::optional<EditBoxContent> EntryEditButtonClick(RomImage& image,
                                                                 const LineList& map, int64_t index,
                                                                 EditState& state);

// A click on one of the four check boxes: the new text of the attribute field, or nullopt
// (beep, field unchanged) when the field does not hold a hexadecimal number.
[[nodiscard]] std::optional<std::string> CheckBoxClick(const std::string& att_text,
                                                       const std::array<bool, 4>& checks);

// "OK": reads the real size and the attribute word and writes both into the entry. With a real
// size that is not a number the box stays open (`keep_box_open`) and nothing changes. The
// entry is written only while the index still names an entry of the file table.
struct EditOkResult {
  ActionOutcome outcome;
  bool keep_box_open = false;
};
[[nodiscard]] EditOkResult EditOkButtonClick(RomImage& image, RomLists& lists, EditState& state,
                                             const std::string& att_text,
                                             const std::string& real_text, int64_t selected_index);

// "Image speichern" after the dialog: writes the first ImageLength bytes. The second header
// pointer must have been refreshed before the dialog (RefreshSecondPointer).
[[nodiscard]] ActionOutcome SaveImage(const RomImage& image, const std::string& path);

}  // namespace rom

#endif  // TARNWICK_ROM_ENTRY_EDIT_H_
