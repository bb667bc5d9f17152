// What a click on a list line enables: the button states of the main window.
#ifndef TARNWICK_ROM_SELECTION_H_
#define TARNWICK_ROM_SELECTION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rom/analysis.h"

namespace rom {

inline constexpr const char* kDeleteFileCaption = "Datei l\xF6schen";
inline constexpr const char* kDeleteBlockCaption = "Block l\xF6schen";

struct MapLineButtons {
  bool save_enabled = false;                  // "Datei speichern"
  bool replace_enabled = false;               // "Datei ersetzen"
  bool delete_enabled = false;                // "Datei löschen" / "Block löschen"
  std::optional<std::string> delete_caption;  // set when the click changes the caption
};

// Button states after a click on memory-map line `index`: a file line enables export and
// replace, and delete when no fixed block follows it; a fixed-block line enables "Block
// löschen"; any other line (or none) enables nothing.
[[nodiscard]] MapLineButtons ClickOnMapLine(const LineList& map, int64_t index);

// True when a click on analysis-log line `index` enables export (module and file lines).
[[nodiscard]] bool ClickOnLogLineEnablesExport(const LineList& log, int64_t index);

// The selected line, or nullptr when `index` selects none.
[[nodiscard]] inline const std::string* SelectedLine(const LineList& list, int64_t index) {
  return index >= 0 && static_cast<uint64_t>(index) < list.size()
             ? &list[static_cast<size_t>(index)]
             : nullptr;
}

}  // namespace rom

#endif  // TARNWICK_ROM_SELECTION_H_
