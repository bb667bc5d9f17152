// Dialogs: every file dialog, folder chooser, message box and beep of the windows.
//
// The windows are given one Dialogs object; the program's is QtDialogs, tests give scripted
// answers and see the messages without a person.
#ifndef TARNWICK_UI_DIALOGS_H_
#define TARNWICK_UI_DIALOGS_H_

#include <QString>
#include <QWidget>
#include <optional>

#include "ui/presenter/prompts.h"

namespace ui {

struct FileDialogRequest {
  QString title;
  QString filter;     // Qt filter text, e.g. "ROM Images (*.nb0);;Other (*.*)"
  QString folder;     // initial folder, may be empty
  QString file_name;  // proposed file name, may be empty
  QString default_suffix;
  bool confirm_overwrite = false;
  bool confirm_create = false;  // ask before creating a file that does not exist yet
};

enum class OverwriteAnswer { kYes, kNo, kYesToAll, kCancel };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The chosen path, or nullopt when the user cancels.
  virtual std::optional<QString> OpenFile(QWidget* parent, const FileDialogRequest& request) = 0;
  virtual std::optional<QString> SaveFile(QWidget* parent, const FileDialogRequest& request) = 0;
  virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                              const QString& folder) = 0;
  // A modal box with an OK button and the icon of its severity.
  virtual void Message(QWidget* parent, const QString& text, const QString& caption,
                       presenter::Severity severity) = 0;
  // Asks whether an existing file may be replaced.
  virtual OverwriteAnswer AskOverwrite(QWidget* parent, const QString& path) = 0;
  // "Änderungen speichern?" with "Speichern", "Verwerfen" and "Abbrechen".
  virtual presenter::SaveChanges AskSaveChanges(QWidget* parent) = 0;
  virtual void Beep() = 0;
};

// Qt's own dialogs, message boxes and QApplication::beep().
class QtDialogs final : public Dialogs {
 public:
  std::optional<QString> OpenFile(QWidget* parent, const FileDialogRequest& request) override;
  std::optional<QString> SaveFile(QWidget* parent, const FileDialogRequest& request) override;
  std::optional<QString> ChooseFolder(QWidget* parent, const QString& title,
                                      const QString& folder) override;
  void Message(QWidget* parent, const QString& text, const QString& caption,
               presenter::Severity severity) override;
  OverwriteAnswer AskOverwrite(QWidget* parent, const QString& path) override;
  presenter::SaveChanges AskSaveChanges(QWidget* parent) override;
  void Beep() override;
};

}  // namespace ui

#endif  // TARNWICK_UI_DIALOGS_H_
