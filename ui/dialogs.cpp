// Qt's dialogs behind the Dialogs interface.
#include "ui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <memory>
#include <utility>
#include <vector>

#include "ui/presenter/save_filter.h"
#include "ui/qt_text.h"

namespace ui {

namespace {

QFileDialog* MakeDialog(QWidget* parent, const FileDialogRequest& r, QFileDialog::AcceptMode mode) {
  auto* d = new QFileDialog(parent, r.title, r.folder, r.filter);
  d->setAcceptMode(mode);
  if (!r.file_name.isEmpty()) d->selectFile(r.file_name);
  if (!r.default_suffix.isEmpty()) {
    // A name typed without an extension gets the one of the filter chosen (none for "*.*").
    auto follow = [d](const QString& filter) {
      d->setDefaultSuffix(PathFromNative(presenter::FilterSuffix(PathToNative(filter))));
    };
    follow(d->selectedNameFilter());
    QObject::connect(d, &QFileDialog::filterSelected, d, follow);
  }
  if (!r.confirm_overwrite) d->setOption(QFileDialog::DontConfirmOverwrite);
  return d;
}

// A question whose buttons say what they do in German, whether or not Qt's translation is
// installed. Returns the index of the chosen answer in `answers`; Escape or closing the box
// gives `cancel`, Enter gives `preferred`.
int Ask(QWidget* parent, const QString& title, const QString& text,
        std::initializer_list<std::pair<const char*, QMessageBox::ButtonRole>> answers,
        int preferred, int cancel) {
  QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
  std::vector<QPushButton*> buttons;
  for (const auto& [caption, role] : answers) {
    buttons.push_back(box.addButton(QString::fromUtf8(caption), role));
  }
  box.setDefaultButton(buttons[static_cast<size_t>(preferred)]);
  box.setEscapeButton(buttons[static_cast<size_t>(cancel)]);
  // The focus starts on the preferred answer too: Enter on a focused button presses that one.
  buttons[static_cast<size_t>(preferred)]->setFocus();
  box.exec();
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (box.clickedButton() == buttons[i]) return static_cast<int>(i);
  }
  return cancel;
}

}  // namespace

std::optional<QString> QtDialogs::OpenFile(QWidget* parent, const FileDialogRequest& request) {
  std::unique_ptr<QFileDialog> d(MakeDialog(parent, request, QFileDialog::AcceptOpen));
  d->setFileMode(QFileDialog::ExistingFile);
  if (d->exec() != QDialog::Accepted || d->selectedFiles().isEmpty()) return std::nullopt;
  return d->selectedFiles().front();
}

std::optional<QString> QtDialogs::SaveFile(QWidget* parent, const FileDialogRequest& request) {
  std::unique_ptr<QFileDialog> d(MakeDialog(parent, request, QFileDialog::AcceptSave));
  d->setFileMode(QFileDialog::AnyFile);
  if (d->exec() != QDialog::Accepted || d->selectedFiles().isEmpty()) return std::nullopt;
  const QString path = d->selectedFiles().front();
  if (request.confirm_create && !QFileInfo::exists(path) &&
      Ask(parent, request.title,
          QString::fromUtf8("%1 existiert nicht. Datei erstellen?").arg(path),
          {{"&Ja", QMessageBox::YesRole}, {"&Nein", QMessageBox::NoRole}}, 0, 1) != 0) {
    return std::nullopt;
  }
  return path;
}

presenter::SaveChanges QtDialogs::AskSaveChanges(QWidget* parent) {
  switch (Ask(parent, "Tarnwick", QString::fromUtf8("Änderungen speichern?"),
              {{"&Speichern", QMessageBox::AcceptRole},
               {"&Verwerfen", QMessageBox::DestructiveRole},
               {"&Abbrechen", QMessageBox::RejectRole}},
              0, 2)) {
    case 0:
      return presenter::SaveChanges::kSave;
    case 1:
      return presenter::SaveChanges::kDiscard;
    default:
      return presenter::SaveChanges::kCancel;
  }
}

std::optional<QString> QtDialogs::ChooseFolder(QWidget* parent, const QString& title,
                                               const QString& folder) {
  const QString chosen = QFileDialog::getExistingDirectory(parent, title, folder);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

void QtDialogs::Message(QWidget* parent, const QString& text, const QString& caption,
                        presenter::Severity severity) {
  switch (severity) {
    case presenter::Severity::kInformation:
      QMessageBox::information(parent, caption, text, QMessageBox::Ok);
      return;
    case presenter::Severity::kWarning:
      QMessageBox::warning(parent, caption, text, QMessageBox::Ok);
      return;
    case presenter::Severity::kError:
      QMessageBox::critical(parent, caption, text, QMessageBox::Ok);
      return;
  }
}

OverwriteAnswer QtDialogs::AskOverwrite(QWidget* parent, const QString& path) {
  // Enter keeps the file ("Nein"); Escape ends the run.
  switch (Ask(parent, QString::fromUtf8("Datei überschreiben?"),
              QString::fromUtf8("%1 gibt es schon. Überschreiben?").arg(path),
              {{"&Ja", QMessageBox::YesRole},
               {"Ja, &alle", QMessageBox::YesRole},
               {"&Nein", QMessageBox::NoRole},
               {"Abbrechen", QMessageBox::RejectRole}},
              2, 3)) {
    case 0:
      return OverwriteAnswer::kYes;
    case 1:
      return OverwriteAnswer::kYesToAll;
    case 2:
      return OverwriteAnswer::kNo;
    default:
      return OverwriteAnswer::kCancel;
  }
}

void QtDialogs::Beep() { QApplication::beep(); }

}  // namespace ui
