// tarnwick_screenshot IMAGE OUT.png: shows the main window with IMAGE loaded and the sorted
// list ticked, and saves a screenshot of the window as the display shows it. Run under Xvfb by
// scripts/screenshot.sh.
#include <QApplication>
#include <QCheckBox>
#include <QListView>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "tests/ui/scripted_dialogs.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tarnwick_screenshot IMAGE OUT.png\n");
    return 2;
  }
  QApplication app(argc, argv);
  std::string missing;
  const auto lib = codec::CompressionLibrary::Bind(missing);
  uitest::ScriptedDialogs dialogs;
  ui::TMainForm form(dialogs, *lib);
  form.move(0, 0);
  form.show();
  form.LoadAtStart(QString::fromLocal8Bit(argv[1]));
  form.findChild<QCheckBox*>("FileListCheckBox")->click();
  // A file line selected, as a user would have it.
  auto* view = form.findChild<QListView*>("FileListBox");
  const auto& map = form.lists().MemoryMap;
  for (size_t i = 0; i < map.size(); ++i) {
    if (map[i].find("readme.txt") != std::string::npos && map[i].find("F[") != std::string::npos) {
      view->selectionModel()->setCurrentIndex(view->model()->index(static_cast<int>(i), 0),
                                              QItemSelectionModel::ClearAndSelect);
    }
  }
  int status = 1;
  QTimer::singleShot(1500, [&] {
    const QPixmap shot =
        form.screen()->grabWindow(0, form.x(), form.y(), form.width(), form.height());
    status = shot.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    QApplication::quit();
  });
  QApplication::exec();
  return status;
}
