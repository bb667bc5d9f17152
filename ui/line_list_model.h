// LineListModel: a list view's model over one of the core's line lists.
//
// It stores no text: data() makes a row's text from the core's bytes when the view asks. The
// core keeps the order; the view never sorts.
#ifndef TARNWICK_UI_LINE_LIST_MODEL_H_
#define TARNWICK_UI_LINE_LIST_MODEL_H_

#include <QAbstractListModel>

#include "rom/analysis.h"

namespace ui {

class LineListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  LineListModel(const rom::LineList* lines, QObject* parent)
      : QAbstractListModel(parent), lines_(lines) {}

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Call around every change of the list.
  void BeginChange() { beginResetModel(); }
  void EndChange() { endResetModel(); }

 private:
  const rom::LineList* lines_;
};

}  // namespace ui

#endif  // TARNWICK_UI_LINE_LIST_MODEL_H_
