// Where the batch window goes: beside the main window, wholly on its screen.
#include "ui/window_placement.h"

#include <gtest/gtest.h>

namespace {

TEST(PlaceBeside, StaysOnTheScreenOfItsOwner) {
  const QRect screen(0, 0, 1600, 900);
  const QSize batch(625, 530);  // 623 x 499 with a frame
  struct Case {
    QRect owner;
    QPoint expected;
  };
  const Case cases[] = {
      {{10, 10, 642, 590}, {652, 10}},     // room on the right
      {{900, 100, 642, 590}, {275, 100}},  // no room right, room left
      {{500, 100, 642, 590}, {975, 100}},  // neither: as far right as the screen allows
      {{10, 600, 642, 590}, {652, 370}},   // moved up to end at the screen's bottom
      {{-300, -50, 642, 590}, {342, 0}},   // owner partly off the screen
  };
  for (const Case& c : cases) {
    const QPoint at = ui::PlaceBeside(c.owner, batch, screen);
    EXPECT_EQ(at, c.expected) << c.owner.x() << "," << c.owner.y();
    EXPECT_TRUE(screen.contains(QRect(at, batch))) << c.owner.x() << "," << c.owner.y();
  }
  // A second screen to the right: the window stays on the owner's.
  const QRect right(1600, 0, 1280, 1024);
  EXPECT_EQ(ui::PlaceBeside({2200, 50, 642, 590}, batch, right), QPoint(2255, 50));
  // Larger than the screen: its top-left corner stays on it.
  EXPECT_EQ(ui::PlaceBeside({10, 10, 642, 590}, QSize(2000, 1000), screen), QPoint(0, 0));
}

}  // namespace
