// What an editing action asks its window to do: status texts, beep, message box, list state.
//
// Every action in rom/ is a function over the image and the lists; the window (or the console
// front end) only shows what comes back. Texts are Windows-1252 bytes.
#ifndef TARNWICK_ROM_ACTION_OUTCOME_H_
#define TARNWICK_ROM_ACTION_OUTCOME_H_

#include <cstdint>
#include <optional>
#include <string>

namespace rom {

enum class ActionStatus {
  kDone,       // the action ran; the image may have changed
  kNothing,    // the window does nothing here (no fitting selection, dialog cancelled)
  kRefused,    // the action was refused with a message; the image is unchanged
  kFileError,  // a file could not be read or written; `message` carries the system's text
};

struct BoxMessage {
  std::string text;
  std::string caption;
};

struct ActionOutcome {
  ActionStatus status = ActionStatus::kNothing;
  std::optional<std::string> status1;  // new text of status panel 1 ("" clears it)
  std::optional<std::string> status2;  // new text of status panel 2
  bool beep = false;
  std::optional<BoxMessage> message;  // a modal box with an OK button
  bool lists_rebuilt = false;         // both lists were rewritten by a new analysis
  int64_t select_index = -1;          // selection of the memory map after the rebuild
  std::string reason;                 // why nothing was done, for scripts

  [[nodiscard]] bool done() const { return status == ActionStatus::kDone; }
};

// Helpers for the common endings.
[[nodiscard]] inline ActionOutcome Nothing(std::string reason) {
  ActionOutcome o;
  o.reason = std::move(reason);
  return o;
}
[[nodiscard]] inline ActionOutcome Refused(std::string text, std::string caption) {
  ActionOutcome o;
  o.status = ActionStatus::kRefused;
  o.beep = true;
  o.reason = text;
  o.message = BoxMessage{std::move(text), std::move(caption)};
  return o;
}
[[nodiscard]] inline ActionOutcome FileError(std::string text) {
  ActionOutcome o;
  o.status = ActionStatus::kFileError;
  o.reason = text;
  o.message = BoxMessage{std::move(text), "Tarnwick"};
  return o;
}

}  // namespace rom

#endif  // TARNWICK_ROM_ACTION_OUTCOME_H_
