// Rows of a list as display text.
#include "ui/line_list_model.h"

#include <algorithm>

#include "ui/qt_text.h"

namespace ui {

namespace {

template <typename Row>
std::function<size_t()> CountOf(const std::vector<Row>* rows) {
  return [rows] { return rows->size(); };
}

template <typename Row>
std::function<const std::string&(size_t)> TextOf(const std::vector<Row>* rows) {
  return [rows](size_t i) -> const std::string& { return (*rows)[i].text; };
}

}  // namespace

LineListModel::LineListModel(const std::vector<rom::LogRow>* rows, QObject* parent)
    : QAbstractListModel(parent), count_(CountOf(rows)), text_(TextOf(rows)) {}

LineListModel::LineListModel(const std::vector<rom::MapRow>* rows, QObject* parent)
    : QAbstractListModel(parent), count_(CountOf(rows)), text_(TextOf(rows)) {}

int64_t LineListModel::RowOf(int view_row) const {
  if (view_row < 0) return -1;
  if (!shown_) return static_cast<size_t>(view_row) < count_() ? view_row : -1;
  if (static_cast<size_t>(view_row) >= shown_->size()) return -1;
  const int64_t row = (*shown_)[static_cast<size_t>(view_row)];
  return row >= 0 && static_cast<size_t>(row) < count_() ? row : -1;
}

int LineListModel::ViewRowOf(int64_t row) const {
  if (row < 0 || static_cast<size_t>(row) >= count_()) return -1;
  if (!shown_) return static_cast<int>(row);
  const auto it = std::lower_bound(shown_->begin(), shown_->end(), row);
  return it != shown_->end() && *it == row ? static_cast<int>(it - shown_->begin()) : -1;
}

int LineListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(shown_ ? std::min(shown_->size(), count_()) : count_());
}

QVariant LineListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const int64_t row = RowOf(index.row());
  if (row < 0) return {};
  return FromCp1252(text_(static_cast<size_t>(row)));
}

}  // namespace ui
