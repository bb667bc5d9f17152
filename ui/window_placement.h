// Where a new window goes: beside the window it belongs to, wholly on that window's screen.
#ifndef TARNWICK_UI_WINDOW_PLACEMENT_H_
#define TARNWICK_UI_WINDOW_PLACEMENT_H_

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace ui {

// The top-left corner for a window of `size` (frame included) next to `anchor` (the frame of
// the window it belongs to) inside `available` (the screen's usable area): right of the
// anchor where it fits, else left of it, else as far right as the screen allows; its top at
// the anchor's top, moved up or down to lie on the screen. A window larger than the area
// keeps its top-left corner on the screen.
[[nodiscard]] QPoint PlaceBeside(const QRect& anchor, const QSize& size, const QRect& available);

// Resizes `window` to `client` and moves it beside `owner` on the owner's screen; the frame
// is taken to be as thick as the owner's.
void ShowBeside(QWidget* window, const QSize& client, const QWidget* owner);

}  // namespace ui

#endif  // TARNWICK_UI_WINDOW_PLACEMENT_H_
