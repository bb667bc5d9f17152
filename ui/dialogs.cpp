// Qt's dialogs behind the Dialogs interface.
#include "ui/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace ui {

namespace {

QFileDialog* MakeDialog(QWidget* parent, const FileDialogRequest& r, QFileDialog::AcceptMode mode) {
  auto* d = new QFileDialog(parent, r.title, r.folder, r.filter);
  d->setAcceptMode(mode);
  if (!r.file_name.isEmpty()) d->selectFile(r.file_name);
  if (!r.default_suffix.isEmpty()) d->setDefaultSuffix(r.default_suffix);
  if (!r.confirm_overwrite) d->setOption(QFileDialog::DontConfirmOverwrite);
  return d;
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
      QMessageBox::question(parent, request.title,
                            QString::fromUtf8("%1 existiert nicht. Datei erstellen?").arg(path)) !=
          QMessageBox::Yes) {
    return std::nullopt;
  }
  return path;
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
  const auto answer = QMessageBox::question(
      parent, QString::fromUtf8("Datei überschreiben?"),
      QString::fromUtf8("%1 gibt es schon. Überschreiben?").arg(path),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll | QMessageBox::Cancel,
      QMessageBox::No);
  switch (answer) {
    case QMessageBox::Yes:
      return OverwriteAnswer::kYes;
    case QMessageBox::YesToAll:
      return OverwriteAnswer::kYesToAll;
    case QMessageBox::No:
      return OverwriteAnswer::kNo;
    default:
      return OverwriteAnswer::kCancel;
  }
}

void QtDialogs::Beep() { QApplication::beep(); }

}  // namespace ui
