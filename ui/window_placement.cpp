// Placing a new window beside its owner.
#include "ui/window_placement.h"

#include <QLayout>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace ui {

QPoint PlaceBeside(const QRect& anchor, const QSize& size, const QRect& available) {
  int x = anchor.right() + 1;
  if (x + size.width() - 1 > available.right()) {
    x = anchor.left() - size.width();
    if (x < available.left()) x = available.right() + 1 - size.width();
  }
  int y = std::min(anchor.top(), available.bottom() + 1 - size.height());
  return {std::max(x, available.left()), std::max(y, available.top())};
}

void ShowBeside(QWidget* window, const QSize& client, const QWidget* owner) {
  const QSize frame = owner->frameGeometry().size() - owner->geometry().size();
  const QScreen* screen = owner->screen();
  window->ensurePolished();
  // Larger fonts can make the window's least size larger than `client`.
  if (window->layout()) window->layout()->activate();
  window->resize(client.expandedTo(window->minimumSizeHint()));
  if (screen) {
    window->move(
        PlaceBeside(owner->frameGeometry(), window->size() + frame, screen->availableGeometry()));
  }
  window->show();
}

}  // namespace ui
