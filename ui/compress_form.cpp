// Widgets and handlers of the batch compress window.
#include "ui/compress_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include "compress/batch.h"
#include "ui/qt_text.h"

namespace ui {

namespace {

QListWidget* MakeList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  list->setFont(FixedPitchFont(13));
  list->setUniformItemSizes(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  return list;
}

QString Text(const std::string& s) { return PathFromNative(s); }

}  // namespace

TCompressForm::TCompressForm(Dialogs& dialogs, const codec::CompressionLibrary& library,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs), library_(library) {
  setObjectName("CompressForm");
  setWindowTitle("Dateien auf dem PC komprimieren und dekomprimieren");
  resize(623, 499);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  auto* splitter = new QSplitter(this);
  splitter->setObjectName("Splitter1");
  splitter->setHandleWidth(4);

  auto make_side = [&](const char* group_name, const QString& caption, const char* edit_name,
                       const char* list_name, QLineEdit*& edit, QListWidget*& list,
                       void (TCompressForm::*choose)()) {
    auto* box = new QGroupBox(caption, splitter);
    box->setObjectName(group_name);
    auto* v = new QVBoxLayout(box);
    auto* row = new QHBoxLayout();
    edit = new QLineEdit(box);
    edit->setObjectName(edit_name);
    auto* button = new QToolButton(box);
    button->setText("...");
    connect(button, &QToolButton::clicked, this, choose);
    row->addWidget(edit);
    row->addWidget(button);
    v->addLayout(row);
    list = MakeList(box, list_name);
    v->addWidget(list);
    return box;
  };
  QWidget* source = make_side("SourceGroupBox", QString::fromUtf8("hier Dateien auswählen   --->"),
                              "SourceDirectoryEdit", "SourceListBox", source_edit_, source_list_,
                              &TCompressForm::ChooseSource);
  make_side("DestGroupBox", QString::fromUtf8("--->  Zielverzeichnis"), "ZielDirectoryEdit",
            "ZielListBox", ziel_edit_, ziel_list_, &TCompressForm::ChooseZiel);
  source->setMinimumWidth(305);
  splitter->setSizes({305, 314});
  column->addWidget(splitter, 1);
  source_list_->installEventFilter(this);
  source_list_->viewport()->installEventFilter(this);

  auto* panel = new QWidget(this);
  panel->setObjectName("Panel1");
  panel->setFixedHeight(65);
  auto* row = new QHBoxLayout(panel);
  auto* radio = new QGroupBox("Compress Version", panel);
  radio->setObjectName("CompressRadioGroup");
  auto* grid = new QGridLayout(radio);
  grid->setContentsMargins(6, 0, 6, 0);
  grid->setVerticalSpacing(0);
  operation_ = new QButtonGroup(radio);
  const char* items[] = {"Compress 3", "Compress 4", "Decompress 3", "Decompress 4", "Decomp.ROM"};
  for (int i = 0; i < 5; ++i) {
    auto* r = new QRadioButton(items[i], radio);
    grid->addWidget(r, i / 3, i % 3);
    operation_->addButton(r, i);
  }
  operation_->button(1)->setChecked(true);
  row->addWidget(radio, 1);
  auto* right = new QVBoxLayout();
  count_label_ = new QLabel("   0 Dateien (de-) komprimiert", panel);
  count_label_->setObjectName("CountLabel");
  overwrite_ = new QCheckBox(QString::fromUtf8("ohne Nachfrage überschreiben"), panel);
  overwrite_->setObjectName("OverwriteCheckBox");
  right->addWidget(count_label_);
  right->addWidget(overwrite_);
  row->addLayout(right);
  auto* start = new QPushButton("Start", panel);
  start->setObjectName("StartButton");
  QFont bold = start->font();
  bold.setBold(true);
  start->setFont(bold);
  connect(start, &QPushButton::clicked, this, &TCompressForm::StartButtonClick);
  row->addWidget(start);
  column->addWidget(panel);
}

void TCompressForm::ChooseSource() {
  const auto folder = dialogs_.ChooseFolder(this, "Quellverzeichnis", source_edit_->text());
  if (folder) SourceDirectoryEditAfterDialog(*folder);
}

void TCompressForm::ChooseZiel() {
  const auto folder = dialogs_.ChooseFolder(this, "Zielverzeichnis", ziel_edit_->text());
  if (folder) ZielDirectoryEditAfterDialog(*folder);
}

void TCompressForm::SourceDirectoryEditAfterDialog(const QString& folder) {
  source_edit_->setText(folder);
  source_dir_ = PathToNative(folder);
  source_lines_ = codec::ListFolder(source_dir_, true);
  source_list_->clear();
  for (const std::string& line : source_lines_) source_list_->addItem(Text(line));
  source_list_->setFocus();
}

void TCompressForm::ZielDirectoryEditAfterDialog(const QString& folder) {
  ziel_edit_->setText(folder);
  ziel_dir_ = PathToNative(folder);
  ziel_list_->clear();
  for (const std::string& line : codec::ListFolder(ziel_dir_, false))
    ziel_list_->addItem(Text(line));
}

void TCompressForm::ToggleMark() {
  const int row = source_list_->currentRow();
  if (row < 0 || static_cast<size_t>(row) >= source_lines_.size()) return;
  if (codec::ToggleMark(source_lines_[static_cast<size_t>(row)])) {
    source_list_->item(row)->setText(Text(source_lines_[static_cast<size_t>(row)]));
  }
}

bool TCompressForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == source_list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
    ToggleMark();
    return true;  // the blank key is consumed
  }
  if (watched == source_list_->viewport() && event->type() == QEvent::MouseButtonPress) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    QListWidgetItem* item = source_list_->itemAt(mouse->position().toPoint());
    if (item) source_list_->setCurrentItem(item);
    ToggleMark();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

QStringList TCompressForm::SourceLines() const {
  QStringList lines;
  for (const std::string& l : source_lines_) lines << Text(l);
  return lines;
}

QStringList TCompressForm::ZielLines() const {
  QStringList lines;
  for (int i = 0; i < ziel_list_->count(); ++i) lines << ziel_list_->item(i)->text();
  return lines;
}

void TCompressForm::StartButtonClick() {
  const bool any_marked =
      std::any_of(source_lines_.begin(), source_lines_.end(),
                  [](const std::string& l) { return !l.empty() && l[0] == '*'; });
  if (any_marked && ziel_dir_.empty()) {
    // Without a target folder the results would land in whatever folder the program runs in.
    dialogs_.Message(this, QString::fromUtf8("Es fehlt ein Zielverzeichnis."), windowTitle(),
                     presenter::Severity::kWarning);
    return;
  }
  QProgressDialog progress(this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  progress.setCancelButtonText("Abbrechen");

  codec::BatchHooks hooks;
  hooks.progress = [&progress](int n, int m, const std::string& name) {
    progress.setMaximum(m);
    progress.setValue(n - 1);
    progress.setLabelText(QString("Datei %1 von %2: %3").arg(n).arg(m).arg(Text(name)));
    QApplication::processEvents();
    return !progress.wasCanceled();
  };
  hooks.add_target_line = [this](const std::string& line) { ziel_list_->addItem(Text(line)); };
  hooks.ask_overwrite = [this](const std::string& path) {
    switch (dialogs_.AskOverwrite(this, Text(path))) {
      case OverwriteAnswer::kYes:
        return codec::OverwriteChoice::kReplace;
      case OverwriteAnswer::kNo:
        return codec::OverwriteChoice::kSkip;
      case OverwriteAnswer::kYesToAll:
        return codec::OverwriteChoice::kReplaceAll;
      case OverwriteAnswer::kCancel:
        break;
    }
    return codec::OverwriteChoice::kCancel;
  };
  const codec::BatchResult r =
      codec::RunBatch(source_lines_, source_dir_, ziel_dir_,
                      static_cast<codec::Operation>(std::max(0, operation_->checkedId())), library_,
                      overwrite_->isChecked(), hooks);
  progress.reset();
  if (!r.error.empty()) {
    dialogs_.Message(this, Text(r.error), windowTitle(), presenter::Severity::kError);
    return;
  }
  count_label_->setText(Text(codec::CountText(r.count)));
}

}  // namespace ui
