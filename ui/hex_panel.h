// THexPanel: a window that shows a stretch of the image buffer as rows of 16 bytes and reads
// the four bytes at a clicked position as a byte, word, double word or string pointer.
//
// The list stores nothing per row: HexBox draws the visible rows on demand from the buffer,
// which the window reads live without owning it. The main window closes every hex window
// before a load releases the buffer.
#ifndef TARNWICK_UI_HEX_PANEL_H_
#define TARNWICK_UI_HEX_PANEL_H_

#include <QAbstractScrollArea>
#include <QWidget>

#include "ui/presenter/hex_view.h"

class QButtonGroup;
class QLabel;

namespace ui {

class THexPanel;

// The virtual owner-drawn list of a hex window.
class HexBox final : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit HexBox(THexPanel* panel);
  void SetRowCount(int32_t rows);
  [[nodiscard]] int32_t RowCount() const { return rows_; }
  [[nodiscard]] int RowHeight() const { return presenter::HexLayout::kRowHeight; }
  // Where the columns lie in the current font: drawing and clicks both go by it.
  [[nodiscard]] const presenter::HexLayout& Layout() const { return layout_; }
  [[nodiscard]] int FirstVisibleRow() const;
  void UpdateFont();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // Home and End (also with Ctrl) go to the first and the last row.
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  // The vertical scroll bar counts rows, not pixels: every scroll redraws the visible rows.
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();
  void MeasureFont();
  void DrawRow(QPainter& painter, int32_t row, int y);

  THexPanel* panel_;
  int32_t rows_ = 0;
  presenter::HexLayout layout_{8};
};

class THexPanel final : public QWidget {
  Q_OBJECT

 public:
  // A window over `buffer` of `size` bytes (BufData, BufSize).
  THexPanel(const uint8_t* buffer, int32_t size, QWidget* parent);

  void SetRange(int32_t first, int32_t last);
  void SetBaseAddr(uint32_t base) { state_.base_addr = base; }
  // A press in the list at (x, y): x from the left edge of the rows (the viewport's x plus
  // the horizontal scroll), y from the top of the viewport.
  void HexBoxMouseDown(double x, double y);
  [[nodiscard]] const presenter::HexViewState& state() const { return state_; }
  [[nodiscard]] HexBox* hexBox() const { return hex_box_; }
  [[nodiscard]] QString PanelText(int panel) const;

 public slots:
  void AlsWasClick();
  void ShowValue();

 private:
  [[nodiscard]] presenter::HexShowOptions Options() const;

  presenter::HexViewState state_;
  HexBox* hex_box_ = nullptr;
  QButtonGroup* als_was_ = nullptr;
  QButtonGroup* formate_ = nullptr;
  QButtonGroup* endian_ = nullptr;
  QButtonGroup* ch_sign_ = nullptr;
  QLabel* status_[2] = {};
};

}  // namespace ui

#endif  // TARNWICK_UI_HEX_PANEL_H_
