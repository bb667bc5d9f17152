// LineListModel: a list view's model over the rows of one of the core's lists.
//
// It stores no text: data() makes a row's text from the core's bytes when the view asks. The
// core keeps the order; the view never sorts.
#ifndef TARNWICK_UI_LINE_LIST_MODEL_H_
#define TARNWICK_UI_LINE_LIST_MODEL_H_

#include <QAbstractListModel>
#include <functional>
#include <string>
#include <vector>

#include "rom/listing/analysis.h"

namespace ui {

class LineListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  // A model over the rows of the analysis log or of the memory map, which outlive it.
  LineListModel(const std::vector<rom::LogRow>* rows, QObject* parent);
  LineListModel(const std::vector<rom::MapRow>* rows, QObject* parent);

  // Shows only the rows of `shown` (ascending indexes into the rows, which outlive the model).
  void SetShown(const std::vector<int64_t>* shown) { shown_ = shown; }
  // The index into the rows of view row `view_row`, and the view row of `row` (-1: not shown).
  [[nodiscard]] int64_t RowOf(int view_row) const;
  [[nodiscard]] int ViewRowOf(int64_t row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The rows were rewritten: the views drop what they know and read every row again.
  void Reset() {
    beginResetModel();
    endResetModel();
  }

 private:
  std::function<size_t()> count_;
  std::function<const std::string&(size_t)> text_;  // of a row below count_()
  const std::vector<int64_t>* shown_ = nullptr;
};

}  // namespace ui

#endif  // TARNWICK_UI_LINE_LIST_MODEL_H_
