// Prompts: the questions and messages a presenter puts to the person at the window.
//
// The Qt windows answer them with real dialogs; tests answer them from a script. Texts are
// UTF-8; paths are the file system's own bytes.
#ifndef TARNWICK_UI_PRESENTER_PROMPTS_H_
#define TARNWICK_UI_PRESENTER_PROMPTS_H_

#include <optional>
#include <string>

namespace presenter {

struct FileRequest {
  std::string title;
  std::string filter;  // e.g. "ROM Images (*.nb0);;Other (*.*)"
  std::string folder;  // initial folder, may be empty
  std::string file_name;
  std::string default_suffix;
  bool confirm_overwrite = false;
  bool confirm_create = false;  // ask before creating a file that does not exist yet
};

enum class Severity { kInformation, kWarning, kError };

// The answers to "Änderungen speichern?".
enum class SaveChanges { kSave, kDiscard, kCancel };

class Prompts {
 public:
  virtual ~Prompts() = default;
  // The chosen path, or nullopt when the person cancels.
  virtual std::optional<std::string> OpenFile(const FileRequest& request) = 0;
  virtual std::optional<std::string> SaveFile(const FileRequest& request) = 0;
  // A modal box with an OK button.
  virtual void Message(const std::string& text, const std::string& caption, Severity severity) = 0;
  virtual void Beep() = 0;
  // Whether the image's unsaved changes are to be saved before they would be lost.
  virtual SaveChanges AskSaveChanges() = 0;
};

}  // namespace presenter

#endif  // TARNWICK_UI_PRESENTER_PROMPTS_H_
