// tarnwick_screenshot IMAGE OUTDIR: shows the three windows as a user would have them and saves
// a screenshot of each as the display shows it, with the window manager's frame:
// main_window.png (IMAGE loaded, a file deleted so that the title marks the unsaved edit, the
// sorted list ticked and filtered, a file line selected), hex_view.png (that file's bytes, one
// clicked) and batch_window.png (a run over a few files). Run under Xvfb with a window manager
// by scripts/screenshot.sh.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/ui/scripted_dialogs.h"
#include "ui/compress_form.h"
#include "ui/hex_panel.h"
#include "ui/main_form.h"
#include "ui/translations.h"

namespace {

// Waits until the window system has drawn what was shown, then saves `window` with its frame
// as the screen shows it at its place.
bool Shoot(QWidget* window, const QString& path) {
  window->move(0, 0);
  window->raise();
  window->activateWindow();
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 800) QApplication::processEvents(QEventLoop::AllEvents, 50);
  const QRect frame = window->frameGeometry();
  const QPixmap shot =
      window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  return shot.save(path);
}

// Selects the data line of file `name` in the sorted list (as a click does), or does nothing.
void SelectFileLine(ui::TMainForm& form, const char* name) {
  auto* view = form.findChild<QListView*>("FileListBox");
  for (int row = 0; row < view->model()->rowCount(); ++row) {
    const QModelIndex index = view->model()->index(row, 0);
    const QString text = index.data().toString();
    if (text.contains(" F[") && text.contains(QString("  ") + name + " ")) {
      view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
      view->scrollTo(index);
      return;
    }
  }
}

void WriteFile(const QString& path, const std::string& bytes) {
  std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tarnwick_screenshot IMAGE OUTDIR\n");
    return 2;
  }
  QApplication app(argc, argv);
  ui::InstallQtTranslations(app);
  std::string missing;
  const auto lib = codec::CompressionLibrary::Bind(missing);
  if (!lib) return 1;
  const QDir out(QString::fromLocal8Bit(argv[2]));
  uitest::ScriptedDialogs dialogs;
  ui::TMainForm form(dialogs, *lib);
  form.show();
  form.LoadAtStart(QString::fromLocal8Bit(argv[1]));
  form.findChild<QCheckBox*>("FileListCheckBox")->click();
  // A file deleted (the title marks the unsaved edit), the list filtered to the text files, and
  // a file line selected, as a user would have it.
  SelectFileLine(form, "tz.dat");
  form.findChild<QPushButton*>("DeleteButton")->click();
  form.findChild<QLineEdit*>("FilterEdit")->setText(".txt");
  SelectFileLine(form, "readme.txt");
  bool ok = Shoot(&form, out.filePath("main_window.png"));

  // The hex view of that file, with the fifth byte of its second row clicked.
  form.findChild<QPushButton*>("HexButton")->click();
  ui::THexPanel* hex = form.HexPanel();
  if (!hex) return 1;
  hex->show();
  hex->HexBoxMouseDown(hex->hexBox()->Layout().ColumnX(22 + 3 * 5) + 1, 16 + 4);
  ok = Shoot(hex, out.filePath("hex_view.png")) && ok;
  hex->close();

  // The batch window after a run: a few files marked, one of them too long for the list.
  QTemporaryDir folder;
  const QDir root(folder.path());
  root.mkpath("quelle/unterordner");
  root.mkpath("ziel");
  WriteFile(root.filePath("quelle/readme.txt"), std::string(1830, 'r'));
  WriteFile(root.filePath("quelle/boot.ini"), "[boot]\r\nshell=explorer.exe\r\n");
  WriteFile(root.filePath("quelle/splash.bmp"), std::string(4096, '\x7f'));
  WriteFile(root.filePath("quelle/a_rather_long_file_name_for_the_list.txt"), "long");
  WriteFile(root.filePath("ziel/notes.txt"), "kept");
  form.findChild<QCheckBox*>("FileListCheckBox")->click();
  form.findChild<QPushButton*>("CompressToolButton")->click();
  ui::TCompressForm* batch = form.CompressForm();
  if (!batch) return 1;
  batch->SourceDirectoryEditAfterDialog(root.filePath("quelle"));
  auto* source = batch->findChild<QListWidget*>("SourceListBox");
  for (int row = 0; row < source->count(); ++row) {
    if (source->item(row)->text().contains("[DIR]")) continue;
    source->setCurrentRow(row);
    if (!source->item(row)->text().contains("long")) batch->ToggleMark();
  }
  batch->ZielDirectoryEditAfterDialog(root.filePath("ziel"));
  batch->findChild<QPushButton*>("StartButton")->click();
  ok = Shoot(batch, out.filePath("batch_window.png")) && ok;
  return ok ? 0 : 1;
}
