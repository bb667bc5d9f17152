// Drawing, clicks and radio groups of the hex window.
#include "ui/hex_panel.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <cmath>

#include "ui/qt_text.h"

namespace ui {

namespace {

QColor ColorOf(presenter::HexColor c) {
  switch (c) {
    case presenter::HexColor::kBlack:
      return QColor(0, 0, 0);
    case presenter::HexColor::kBlue:
      return QColor(0, 0, 255);
    case presenter::HexColor::kGray:
      return QColor(128, 128, 128);
    case presenter::HexColor::kSilver:
      return QColor(192, 192, 192);
    case presenter::HexColor::kRed:
      return QColor(255, 0, 0);
  }
  return QColor(0, 0, 0);
}

QButtonGroup* RadioGroup(QWidget* parent, QHBoxLayout* row, const char* name, const char* caption,
                         std::initializer_list<const char*> items, int columns) {
  auto* box = new QGroupBox(caption, parent);
  box->setObjectName(name);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(6, 0, 6, 0);
  grid->setVerticalSpacing(0);
  auto* group = new QButtonGroup(box);
  int id = 0;
  for (const char* item : items) {
    auto* r = new QRadioButton(item, box);
    r->setObjectName(QString(name) + "_" + item);
    grid->addWidget(r, id / columns, id % columns);
    group->addButton(r, id);
    if (id == 0) r->setChecked(true);
    ++id;
  }
  row->addWidget(box);
  return group;
}

}  // namespace

HexBox::HexBox(THexPanel* panel) : QAbstractScrollArea(panel), panel_(panel) {
  setObjectName("HexBox");
  viewport()->setAttribute(Qt::WA_StaticContents);
  viewport()->setAutoFillBackground(true);
  UpdateFont();
}

void HexBox::UpdateFont() {
  setFont(FixedPitchFont(11));
  MeasureFont();
}

// The advance as the painter lays the glyphs out, fraction included.
void HexBox::MeasureFont() {
  layout_ = presenter::HexLayout(QFontMetricsF(font()).horizontalAdvance(QLatin1Char('8')));
  UpdateScrollBars();
  viewport()->update();
}

void HexBox::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) MeasureFont();
  QAbstractScrollArea::changeEvent(event);
}

void HexBox::scrollContentsBy(int, int) { viewport()->update(); }

void HexBox::SetRowCount(int32_t rows) {
  rows_ = rows;
  UpdateScrollBars();
  viewport()->update();
}

int HexBox::FirstVisibleRow() const { return verticalScrollBar()->value(); }

void HexBox::UpdateScrollBars() {
  const int visible = std::max(1, viewport()->height() / RowHeight());
  verticalScrollBar()->setRange(0, std::max(0, rows_ - visible));
  verticalScrollBar()->setPageStep(visible);
  const int width = static_cast<int>(std::ceil(layout_.RowWidth()));
  horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(event->key() == Qt::Key_Home ? bar->minimum() : bar->maximum());
    event->accept();
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void HexBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void HexBox::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setFont(font());
  const QRect area = event->rect();
  const int first = FirstVisibleRow() + area.top() / RowHeight();
  const int last =
      std::min<int64_t>(rows_ - 1, FirstVisibleRow() + int64_t{area.bottom()} / RowHeight());
  for (int row = first; row <= last; ++row) {
    DrawRow(painter, row, (row - FirstVisibleRow()) * RowHeight());
  }
}

void HexBox::DrawRow(QPainter& painter, int32_t row, int y) {
  const QRect rect(0, y, viewport()->width(), RowHeight());
  const std::vector<presenter::HexPiece> pieces = presenter::HexRowPieces(panel_->state(), row);
  if (pieces.empty()) return;  // the list's own background
  painter.fillRect(rect, Qt::white);
  const double left = -horizontalScrollBar()->value();
  const QFontMetrics metrics(font());
  const int baseline = y + (RowHeight() + metrics.ascent() - metrics.descent()) / 2;
  // Every piece starts at its column's edge, the same edge that a click is measured against.
  for (const presenter::HexPiece& piece : pieces) {
    if (piece.blank) continue;
    painter.setPen(ColorOf(piece.color));
    painter.drawText(QPointF(left + layout_.ColumnX(piece.column), baseline),
                     FromCp1252(piece.text));
  }
}

void HexBox::mousePressEvent(QMouseEvent* event) {
  const QPointF p = event->position();
  panel_->HexBoxMouseDown(p.x() + horizontalScrollBar()->value(), p.y());
}

THexPanel::THexPanel(const uint8_t* buffer, int32_t size, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setObjectName("HexPanel");
  state_.buffer = buffer;
  state_.buffer_size = size;
  resize(680, 515);
  setWindowTitle("Hex View");
  // Escape closes the window.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &QWidget::close);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  hex_box_ = new HexBox(this);
  column->addWidget(hex_box_, 1);

  auto* panel = new QWidget(this);
  panel->setObjectName("Panel1");
  panel->setMinimumHeight(56);  // taller where the font needs it
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(2, 0, 2, 2);
  als_was_ =
      RadioGroup(panel, row, "AlsWas", "Zeige als was", {"Byte", "Word", "DWord", "PChar"}, 2);
  formate_ = RadioGroup(panel, row, "Formate", "Format", {"HEX", "DEZ"}, 1);
  endian_ = RadioGroup(panel, row, "Endian", "Endian", {"little", "big"}, 1);
  ch_sign_ = RadioGroup(panel, row, "ChSign", "Sign", {"ohne", "negativ"}, 1);
  for (QButtonGroup* g : {als_was_, formate_, endian_, ch_sign_}) {
    connect(g, &QButtonGroup::idClicked, this, &THexPanel::AlsWasClick);
  }
  column->addWidget(panel);

  auto* status = new QWidget(this);
  status->setObjectName("HexStaBar");
  auto* status_row = new QHBoxLayout(status);
  status_row->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 2; ++i) {
    status_[i] = new QLabel(status);
    status_[i]->setObjectName(i == 0 ? "HexStatusPanel0" : "HexStatusPanel1");
    status_[i]->setFrameShape(QFrame::Panel);
    status_[i]->setFrameShadow(QFrame::Sunken);
    status_[i]->setFont(FixedPitchFont(11));
  }
  // Wide and high enough for the longest readout, so that the address at its end stays
  // readable; the string at a pointer (panel 1) can be of any length and is cut at the
  // window's edge rather than widening the window.
  status_[0]->setText(FromCp1252(presenter::HexWidestPanel0Text()));
  const QSize widest = status_[0]->sizeHint();
  status_[0]->clear();
  status_[0]->setFixedWidth(std::max(300, widest.width()));
  for (QLabel* label : status_) label->setMinimumHeight(widest.height());
  status_[1]->setMinimumWidth(1);
  status_row->addWidget(status_[0]);
  status_row->addWidget(status_[1], 1);
  column->addWidget(status);
}

void THexPanel::SetRange(int32_t first, int32_t last) {
  state_.click_col = 0;
  state_.click_row = 0;
  state_.view_start = first;
  state_.view_end = last;
  hex_box_->SetRowCount(presenter::HexRowCount(first, last));
  setWindowTitle(FromCp1252(presenter::HexCaption(first, last)));
}

void THexPanel::HexBoxMouseDown(double x, double y) {
  const int64_t row = presenter::HexLayout::RowAt(y, hex_box_->FirstVisibleRow());
  if (row < 0 || row >= hex_box_->RowCount()) {
    status_[0]->clear();
    return;
  }
  state_.click_row = static_cast<int32_t>(row);
  state_.click_col = hex_box_->Layout().ColumnAt(x);
  hex_box_->viewport()->update();
  ShowValue();
}

presenter::HexShowOptions THexPanel::Options() const {
  presenter::HexShowOptions o;
  o.show_as = static_cast<presenter::HexShowAs>(std::max(0, als_was_->checkedId()));
  o.decimal = formate_->checkedId() == 1;
  o.big_endian = endian_->checkedId() == 1;
  o.negative = ch_sign_->checkedId() == 1;
  return o;
}

void THexPanel::AlsWasClick() { ShowValue(); }

void THexPanel::ShowValue() {
  const presenter::HexValueText t = presenter::ShowValue(state_, Options());
  status_[0]->setText(FromCp1252(t.panel0));
  status_[1]->setText(FromCp1252(t.panel1));
  hex_box_->viewport()->update();
}

QString THexPanel::PanelText(int panel) const { return status_[panel == 0 ? 0 : 1]->text(); }

}  // namespace ui
