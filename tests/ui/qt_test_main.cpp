// GoogleTest main for widget tests: a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <cstdlib>

#include "ui/translations.h"

int main(int argc, char** argv) {
  // No display is needed: the windows are drawn offscreen unless a platform is chosen.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  ui::InstallQtTranslations(app);  // as the program does
  // Larger text, as a desktop set to a larger font gives it (the offscreen platform has no
  // font DPI of its own to change).
  if (const char* scale = std::getenv("TARNWICK_TEST_TEXT_SCALE")) {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * std::atof(scale));
    QApplication::setFont(font);
  }
  return RUN_ALL_TESTS();
}
