// GoogleTest main for widget tests: a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "ui/translations.h"

int main(int argc, char** argv) {
  // No display is needed: the windows are drawn offscreen unless a platform is chosen.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  ui::InstallQtTranslations(app);  // as the program does
  return RUN_ALL_TESTS();
}
