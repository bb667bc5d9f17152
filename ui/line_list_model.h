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
};

}  // namespace ui

#endif  // TARNWICK_UI_LINE_LIST_MODEL_H_
