// Dialogs answered by a script, recording what the windows asked and showed.
#ifndef TARNWICK_TESTS_UI_SCRIPTED_DIALOGS_H_
#define TARNWICK_TESTS_UI_SCRIPTED_DIALOGS_H_

#include <deque>
#include <utility>
#include <vector>

#include "ui/dialogs.h"

namespace uitest {

class ScriptedDialogs final : public ui::Dialogs {
 public:
  // Answers for file dialogs (open and save alike) and folder choosers, in order; an empty
  // text or an empty queue answers "cancel".
  std::deque<QString> files;
  std::deque<QString> folders;
  std::deque<ui::OverwriteAnswer> overwrite_answers;
  std::deque<presenter::SaveChanges> save_answers;  // none left: cancel
  int save_questions = 0;

  std::vector<ui::FileDialogRequest> requests;
  std::vector<std::pair<QString, QString>> messages;  // text, caption
  std::vector<presenter::Severity> severities;
  std::vector<QString> overwrite_questions;
  int beeps = 0;

  std::optional<QString> OpenFile(QWidget*, const ui::FileDialogRequest& r) override {
    return Next(r);
  }
  std::optional<QString> SaveFile(QWidget*, const ui::FileDialogRequest& r) override {
    return Next(r);
  }
  std::optional<QString> ChooseFolder(QWidget*, const QString&, const QString&) override {
    return Pop(folders);
  }
  void Message(QWidget*, const QString& text, const QString& caption,
               presenter::Severity severity) override {
    messages.emplace_back(text, caption);
    severities.push_back(severity);
  }
  ui::OverwriteAnswer AskOverwrite(QWidget*, const QString& path) override {
    overwrite_questions.push_back(path);
    if (overwrite_answers.empty()) return ui::OverwriteAnswer::kCancel;
    const auto a = overwrite_answers.front();
    overwrite_answers.pop_front();
    return a;
  }
  presenter::SaveChanges AskSaveChanges(QWidget*) override {
    ++save_questions;
    if (save_answers.empty()) return presenter::SaveChanges::kCancel;
    const auto a = save_answers.front();
    save_answers.pop_front();
    return a;
  }
  void Beep() override { ++beeps; }

 private:
  std::optional<QString> Next(const ui::FileDialogRequest& r) {
    requests.push_back(r);
    return Pop(files);
  }
  static std::optional<QString> Pop(std::deque<QString>& queue) {
    if (queue.empty()) return std::nullopt;
    const QString answer = queue.front();
    queue.pop_front();
    if (answer.isEmpty()) return std::nullopt;
    return answer;
  }
};

}  // namespace uitest

#endif  // TARNWICK_TESTS_UI_SCRIPTED_DIALOGS_H_
