// Fixed rows for the lists of padded lines.
#include "ui/list_rows.h"

#include <QListView>
#include <algorithm>

#include "ui/qt_text.h"

namespace ui {

FixedRowDelegate::FixedRowDelegate(int row_height, int columns, QObject* parent)
    : QStyledItemDelegate(parent), row_height_(row_height), columns_(columns) {}

QSize FixedRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  // The text's margins on both sides come on top of the characters.
  const int margin = 2 * (option.widget ? option.widget->style()->pixelMetric(
                                              QStyle::PM_FocusFrameHMargin, &option, option.widget)
                                        : 2) +
                     2;
  return {option.fontMetrics.horizontalAdvance(QString(columns_, QLatin1Char('8'))) + margin,
          row_height_};
}

void FixedRowDelegate::SetColumns(int columns, QListView* view) {
  columns = std::max(1, columns);
  if (columns == columns_) return;
  columns_ = columns;
  if (view->model() && view->model()->rowCount() > 0) {
    emit sizeHintChanged(view->model()->index(0, 0));
  }
}

FixedRowDelegate* SetUpLineList(QListView* view, int pixel_size, int row_height, int columns) {
  view->setFont(FixedPitchFont(pixel_size));
  view->setUniformItemSizes(true);
  auto* delegate = new FixedRowDelegate(row_height, columns, view);
  view->setItemDelegate(delegate);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view->setTextElideMode(Qt::ElideNone);
  return delegate;
}

}  // namespace ui
