// Rows of one fixed height and one width for the lists of padded lines.
//
// The lists show lines whose columns are padded with blanks in a fixed-pitch font. Every row
// gets the same height and the width of the longest line, so that the view can take all
// sizes from one row, the columns line up, and a line too long for the view scrolls
// sideways instead of being cut with "...".
#ifndef TARNWICK_UI_LIST_ROWS_H_
#define TARNWICK_UI_LIST_ROWS_H_

#include <QStyledItemDelegate>

class QListView;

namespace ui {

class FixedRowDelegate final : public QStyledItemDelegate {
  Q_OBJECT

 public:
  FixedRowDelegate(int row_height, int columns, QObject* parent);
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // Makes every row `columns` characters wide and has the view lay its rows out again.
  void SetColumns(int columns, QListView* view);
  [[nodiscard]] int RowHeight() const { return row_height_; }
  [[nodiscard]] int Columns() const { return columns_; }

 private:
  int row_height_;
  int columns_;
};

// Sets up `view` for padded lines: fixed-pitch font of `pixel_size`, rows `row_height` apart
// and `columns` characters wide, single selection, no eliding, a horizontal scroll bar when
// needed. Returns the delegate, owned by the view.
FixedRowDelegate* SetUpLineList(QListView* view, int pixel_size, int row_height, int columns);

}  // namespace ui

#endif  // TARNWICK_UI_LIST_ROWS_H_
