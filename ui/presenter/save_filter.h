// What a save dialog's file filter stands for.
#ifndef TARNWICK_UI_PRESENTER_SAVE_FILTER_H_
#define TARNWICK_UI_PRESENTER_SAVE_FILTER_H_

#include <string>

namespace presenter {

// The extension that a name typed without one gets under the filter `filter` (one filter of a
// dialog's list, "B000FF records (*.bin)"): the extension of its first pattern, "bin". Empty
// for a filter of every file ("*.*", "*") or a text without a pattern: the name stays as typed.
[[nodiscard]] std::string FilterSuffix(const std::string& filter);

}  // namespace presenter

#endif  // TARNWICK_UI_PRESENTER_SAVE_FILTER_H_
