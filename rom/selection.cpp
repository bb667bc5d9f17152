// Button states for list clicks.
#include "rom/selection.h"

namespace rom {

MapLineButtons ClickOnMapLine(const LineList& map, int64_t index) {
  MapLineButtons b;
  const std::string* line = SelectedLine(map, index);
  if (!line) return b;
  if (IsFileLine(*line)) {
    b.save_enabled = true;
    b.replace_enabled = true;
    if (!FixedBlockFollows(map, index)) {
      b.delete_caption = kDeleteFileCaption;
      b.delete_enabled = true;
    }
  } else if (IsFixedBlockLine(*line)) {
    b.delete_caption = kDeleteBlockCaption;
    b.delete_enabled = true;
  }
  return b;
}

bool ClickOnLogLineEnablesExport(const LineList& log, int64_t index) {
  const std::string* line = SelectedLine(log, index);
  return line && (line->rfind("M[", 0) == 0 || line->rfind("F[", 0) == 0);
}

}  // namespace rom
