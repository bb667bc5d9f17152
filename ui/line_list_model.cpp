// Rows of a line list as display text.
#include "ui/line_list_model.h"

#include "ui/qt_text.h"

namespace ui {

int LineListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_->size());
}

QVariant LineListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 ||
      static_cast<size_t>(index.row()) >= lines_->size()) {
    return {};
  }
  return FromCp1252((*lines_)[static_cast<size_t>(index.row())]);
}

}  // namespace ui
