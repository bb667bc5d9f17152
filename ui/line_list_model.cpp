// Rows of a list as display text.
#include "ui/line_list_model.h"

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

int LineListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(count_());
}

QVariant LineListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() < 0 ||
      static_cast<size_t>(index.row()) >= count_()) {
    return {};
  }
  return FromCp1252(text_(static_cast<size_t>(index.row())));
}

}  // namespace ui
