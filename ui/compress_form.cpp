// Widgets and handlers of the batch compress window.
#include "ui/compress_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "ui/list_rows.h"
#include "ui/qt_text.h"

namespace ui {

namespace {

constexpr int kListRowHeight = 16;

QListWidget* MakeList(QWidget* parent, const char* name, FixedRowDelegate*& rows) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  rows = SetUpLineList(list, 13, kListRowHeight, 40);
  return list;
}

QString Text(const std::string& s) { return PathFromNative(s); }

// Characters of the longest row's text, for the lists' row width.
int LongestLine(const std::vector<presenter::BatchRow>& rows) {
  qsizetype longest = 0;
  for (const presenter::BatchRow& row : rows) longest = std::max(longest, Text(row.text).size());
  return static_cast<int>(longest);
}

// The progress of a run: a window-modal box that appears once the run has gone on for a
// while, and steps aside while a question is asked. Asking with the box up would leave the
// question under a window-modal box that takes its input.
class RunProgress {
 public:
  RunProgress(QWidget* parent, int delay_ms) : dialog_(parent), delay_ms_(delay_ms) {
    dialog_.setObjectName("BatchProgress");
    dialog_.setWindowTitle(parent->windowTitle());
    dialog_.setWindowModality(Qt::WindowModal);
    auto* column = new QVBoxLayout(&dialog_);
    label_ = new QLabel(&dialog_);
    bar_ = new QProgressBar(&dialog_);
    auto* cancel = new QPushButton("Abbrechen", &dialog_);
    cancel->setObjectName("CancelButton");
    cancel->setAutoDefault(false);  // Enter meant for a question that just closed cancels nothing
    column->addWidget(label_);
    column->addWidget(bar_);
    column->addWidget(cancel, 0, Qt::AlignRight);
    // The cancel button, Escape and closing the box all cancel the run.
    QObject::connect(cancel, &QPushButton::clicked, &dialog_, &QDialog::reject);
    QObject::connect(&dialog_, &QDialog::rejected, [this] { cancelled_ = true; });
    clock_.start();
  }

  // Before file n of m; false once the person has cancelled.
  bool Step(int n, int m, const QString& name) {
    file_ = n;
    // Each file takes kPageSteps steps of the bar, so that it moves within a long file too.
    bar_->setRange(0, std::max(1, std::min(m, kMaxFiles)) * kPageSteps);
    bar_->setValue(std::min(n - 1, kMaxFiles) * kPageSteps);
    file_text_ = QString("Datei %1 von %2: %3").arg(n).arg(m).arg(name);
    label_->setText(file_text_);
    return Attend();
  }

  // After page `done` of the `pages` of the file in hand; false once the person has cancelled.
  bool Page(uint32_t done, uint32_t pages) {
    // A long file's pages come faster than anyone reads: the box keeps up a few times a second,
    // its bar and its text together.
    if (pages == 0 || (since_events_.isValid() && since_events_.elapsed() < kPageEventsMs)) {
      return !cancelled_;
    }
    const int within = static_cast<int>(uint64_t{done} * kPageSteps / pages);
    bar_->setValue(std::min(file_ - 1, kMaxFiles) * kPageSteps + within);
    label_->setText(QString("%1 (Seite %2 von %3)").arg(file_text_).arg(done).arg(pages));
    return Attend();
  }

  // Hides the box while a question is asked; it comes back a delay after the answer.
  void StepAside() { dialog_.hide(); }
  void Resume() { clock_.start(); }

  [[nodiscard]] bool Cancelled() const { return cancelled_; }
  void Cancel() { cancelled_ = true; }

 private:
  static constexpr int kPageSteps = 1000;
  static constexpr int kMaxFiles = 1 << 20;  // the bar's range stays within an int
  static constexpr int kPageEventsMs = 100;
  static constexpr int kMappingMs = 300;

  // What the person did meanwhile first: once the box is up, the window behind it no longer
  // gets its clicks, nor its close. Then the box comes up once the run has gone on for a while,
  // drawn with where the run is from its first appearance on.
  bool Attend() {
    QApplication::processEvents();
    since_events_.start();
    if (!cancelled_ && !dialog_.isVisible() && clock_.elapsed() >= delay_ms_) {
      dialog_.setMinimumWidth(360);
      dialog_.show();
      // Drawn before the run goes on: the window system maps the box a moment after show(),
      // and until the next look at the events the box would stand there empty.
      QElapsedTimer mapping;
      mapping.start();
      while (dialog_.windowHandle() && !dialog_.windowHandle()->isExposed() &&
             mapping.elapsed() < kMappingMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
      }
      dialog_.repaint();
      QApplication::processEvents();
    }
    return !cancelled_;
  }

  QDialog dialog_;
  QLabel* label_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QElapsedTimer clock_;
  QElapsedTimer since_events_;  // since the events were last let through
  QString file_text_;
  int file_ = 1;
  int delay_ms_;
  bool cancelled_ = false;
};

}  // namespace

// The presenter's questions and the run's progress, put through the window's dialogs and its
// progress box.
class TCompressForm::PromptsAdapter final : public presenter::BatchPrompts {
 public:
  explicit PromptsAdapter(TCompressForm& form) : form_(form) {}

  // The progress box of the run going on (none between runs).
  void SetProgress(RunProgress* progress) { progress_ = progress; }

  void Message(const std::string& text, presenter::Severity severity) override {
    form_.dialogs_.Message(&form_, Text(text), form_.windowTitle(), severity);
  }
  presenter::OverwriteChoice AskOverwrite(const std::string& path) override {
    if (progress_) progress_->StepAside();
    const OverwriteAnswer answer = form_.dialogs_.AskOverwrite(&form_, Text(path));
    if (progress_) progress_->Resume();
    switch (answer) {
      case OverwriteAnswer::kYes:
        return presenter::OverwriteChoice::kReplace;
      case OverwriteAnswer::kNo:
        return presenter::OverwriteChoice::kSkip;
      case OverwriteAnswer::kYesToAll:
        return presenter::OverwriteChoice::kReplaceAll;
      case OverwriteAnswer::kCancel:
        break;
    }
    if (progress_) progress_->Cancel();
    return presenter::OverwriteChoice::kCancel;
  }
  bool Step(int n, int m, const std::string& name) override {
    if (!progress_) return !form_.close_requested_;
    const bool go_on = progress_->Step(n, m, Text(name));
    if (form_.close_requested_) progress_->Cancel();
    return go_on && !form_.close_requested_;
  }
  bool PageStep(uint32_t done, uint32_t pages) override {
    if (!progress_) return !form_.close_requested_;
    const bool go_on = progress_->Page(done, pages);
    if (form_.close_requested_) progress_->Cancel();
    return go_on && !form_.close_requested_;
  }
  void TargetRowAdded(const presenter::BatchRow& row) override { form_.AddZielLine(row); }

 private:
  TCompressForm& form_;
  RunProgress* progress_ = nullptr;
};

TCompressForm::TCompressForm(Dialogs& dialogs, const codec::CompressionLibrary& library,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      dialogs_(dialogs),
      prompts_(std::make_unique<PromptsAdapter>(*this)),
      presenter_(std::make_unique<presenter::BatchPresenter>(*prompts_, library)) {
  setObjectName("CompressForm");
  setWindowTitle("Dateien auf dem PC komprimieren und dekomprimieren");
  resize(623, 499);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(BuildLists(), 1);
  column->addWidget(BuildBottomPanel());
  source_list_->installEventFilter(this);
  source_list_->viewport()->installEventFilter(this);
  // Escape closes the window (during a run: cancels it, then closes); F5 reads the lists anew.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          &QWidget::close);
  connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
          &TCompressForm::RefreshLists);
}

TCompressForm::~TCompressForm() = default;

QSplitter* TCompressForm::BuildLists() {
  splitter_ = new QSplitter(this);
  splitter_->setObjectName("Splitter1");
  splitter_->setHandleWidth(4);
  splitter_->setChildrenCollapsible(false);
  BuildListSide(splitter_, "SourceGroupBox", QString::fromUtf8("hier Dateien auswählen   --->"),
                "SourceDirectoryEdit", "SourceListBox", source_edit_, source_list_, source_rows_,
                &TCompressForm::ChooseSource);
  QGroupBox* dest = BuildListSide(
      splitter_, "DestGroupBox", QString::fromUtf8("--->  Zielverzeichnis"), "ZielDirectoryEdit",
      "ZielListBox", ziel_edit_, ziel_list_, ziel_rows_, &TCompressForm::ChooseZiel);
  // Beside the target folder's "...": both lists read anew from disk.
  refresh_button_ = new QToolButton(dest);
  refresh_button_->setObjectName("RefreshButton");
  refresh_button_->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  refresh_button_->setToolTip("Beide Listen neu einlesen (F5)");
  connect(refresh_button_, &QToolButton::clicked, this, &TCompressForm::RefreshLists);
  static_cast<QBoxLayout*>(ziel_edit_->parentWidget()->layout()->itemAt(0)->layout())
      ->addWidget(refresh_button_);
  splitter_->setSizes({305, 314});
  return splitter_;
}

QGroupBox* TCompressForm::BuildListSide(QSplitter* splitter, const char* group_name,
                                        const QString& caption, const char* edit_name,
                                        const char* list_name, QLineEdit*& edit, QListWidget*& list,
                                        FixedRowDelegate*& rows, void (TCompressForm::*choose)()) {
  auto* box = new QGroupBox(caption, splitter);
  box->setObjectName(group_name);
  auto* v = new QVBoxLayout(box);
  v->setContentsMargins(4, 4, 4, 4);
  auto* row = new QHBoxLayout();
  edit = new QLineEdit(box);
  edit->setObjectName(edit_name);
  // A folder typed and confirmed (Enter, or the focus moving on) is listed at once.
  connect(edit, &QLineEdit::editingFinished, this, [this] {
    if (!Running()) TakeTypedFolders();
  });
  auto* button = new QToolButton(box);
  button->setText("...");
  connect(button, &QToolButton::clicked, this, choose);
  row->addWidget(edit);
  row->addWidget(button);
  v->addLayout(row);
  list = MakeList(box, list_name, rows);
  v->addWidget(list);
  return box;
}

QWidget* TCompressForm::BuildBottomPanel() {
  // 65 pixels at the usual font, taller where a larger font needs it.
  auto* panel = new QWidget(this);
  panel->setObjectName("Panel1");
  panel->setMinimumHeight(65);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(4, 2, 4, 4);
  operation_box_ = new QGroupBox("Compress Version", panel);
  operation_box_->setObjectName("CompressRadioGroup");
  auto* grid = new QGridLayout(operation_box_);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  operation_ = new QButtonGroup(operation_box_);
  const char* items[] = {"Compress 3", "Compress 4", "Decompress 3", "Decompress 4", "Decomp.ROM"};
  for (int i = 0; i < 5; ++i) {
    auto* r = new QRadioButton(items[i], operation_box_);
    r->setObjectName(QString("Operation%1").arg(i));
    grid->addWidget(r, i / 3, i % 3);
    operation_->addButton(r, i);
  }
  operation_->button(1)->setChecked(true);
  row->addWidget(operation_box_, 1);
  // The count above the check box, "Start" beside the count: narrow enough for 623 pixels.
  auto* right = new QGridLayout();
  right->setHorizontalSpacing(6);
  count_label_ = new QLabel("   0 Dateien (de-) komprimiert", panel);
  count_label_->setObjectName("CountLabel");
  overwrite_ = new QCheckBox(QString::fromUtf8("ohne Nachfrage überschreiben"), panel);
  overwrite_->setObjectName("OverwriteCheckBox");
  start_button_ = new QPushButton("Start", panel);
  start_button_->setObjectName("StartButton");
  QFont bold = start_button_->font();
  bold.setBold(true);
  start_button_->setFont(bold);
  start_button_->setMinimumWidth(
      start_button_->fontMetrics().horizontalAdvance(start_button_->text()) + 24);
  connect(start_button_, &QPushButton::clicked, this, &TCompressForm::StartButtonClick);
  right->addWidget(count_label_, 0, 0);
  right->addWidget(start_button_, 0, 1, Qt::AlignRight);
  right->addWidget(overwrite_, 1, 0, 1, 2);
  row->addLayout(right);
  return panel;
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
  presenter_->ChooseSourceFolder(PathToNative(folder));
  ShowSourceLines();
  source_list_->setFocus();
}

void TCompressForm::ZielDirectoryEditAfterDialog(const QString& folder) {
  ziel_edit_->setText(folder);
  presenter_->ChooseTargetFolder(PathToNative(folder));
  ShowZielLines();
}

bool TCompressForm::TakeTypedFolders() {
  const presenter::BatchState& s = presenter_->state();
  const std::string source = s.source_folder, target = s.target_folder;
  const bool taken = presenter_->TypeSourceFolder(PathToNative(source_edit_->text())) &&
                     presenter_->TypeTargetFolder(PathToNative(ziel_edit_->text()));
  if (s.source_folder != source) ShowSourceLines();
  if (s.target_folder != target) ShowZielLines();
  return taken;
}

void TCompressForm::RefreshLists() {
  if (Running()) return;
  presenter_->Refresh();
  ShowSourceLines();
  ShowZielLines();
}

void TCompressForm::ShowSourceLines() {
  const std::vector<presenter::BatchRow>& rows = presenter_->state().source_rows;
  source_list_->clear();
  source_rows_->SetColumns(LongestLine(rows), source_list_);
  for (const presenter::BatchRow& row : rows) source_list_->addItem(Text(row.text));
}

void TCompressForm::ShowZielLines() {
  const std::vector<presenter::BatchRow>& rows = presenter_->state().target_rows;
  ziel_list_->clear();
  ziel_rows_->SetColumns(LongestLine(rows), ziel_list_);
  for (const presenter::BatchRow& row : rows) AddZielItem(row);
}

void TCompressForm::AddZielItem(const presenter::BatchRow& row) {
  auto* item = new QListWidgetItem(Text(row.text), ziel_list_);
  // A "Fehler!" line says why in its tool tip.
  if (!row.reason.empty()) item->setToolTip(Text(row.reason));
}

void TCompressForm::AddZielLine(const presenter::BatchRow& row) {
  ziel_rows_->SetColumns(std::max(ziel_rows_->Columns(), LongestLine({row})), ziel_list_);
  AddZielItem(row);
  ziel_list_->scrollToBottom();
}

void TCompressForm::ToggleMark() {
  const int row = source_list_->currentRow();
  if (!presenter_->ToggleMark(row)) return;
  source_list_->item(row)->setText(
      Text(presenter_->state().source_rows[static_cast<size_t>(row)].text));
}

bool TCompressForm::eventFilter(QObject* watched, QEvent* event) {
  // A disabled list still hands its viewport the presses: the marks stay as the run found them.
  if (Running() && (watched == source_list_ || watched == source_list_->viewport()) &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress ||
       event->type() == QEvent::MouseButtonDblClick)) {
    return true;
  }
  if (watched == source_list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
    ToggleMark();
    return true;  // the blank key is consumed
  }
  if (watched == source_list_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    // On a "[DIR]" line: that folder is listed. (On a file line the second click counts as
    // no press, as before.)
    const auto* mouse = static_cast<QMouseEvent*>(event);
    QListWidgetItem* item = source_list_->itemAt(mouse->position().toPoint());
    if (item && presenter_->OpenFolderRow(source_list_->row(item))) {
      source_edit_->setText(Text(presenter_->state().source_folder));
      ShowSourceLines();
      return true;
    }
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

void TCompressForm::closeEvent(QCloseEvent* event) {
  if (Running()) {
    // The run refers to this window's lists; it ends at the next file, then the window closes.
    close_requested_ = true;
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

QStringList TCompressForm::SourceLines() const {
  QStringList lines;
  for (const presenter::BatchRow& row : presenter_->state().source_rows) lines << Text(row.text);
  return lines;
}

QStringList TCompressForm::ZielLines() const {
  QStringList lines;
  for (int i = 0; i < ziel_list_->count(); ++i) lines << ziel_list_->item(i)->text();
  return lines;
}

void TCompressForm::FreezeControls(bool frozen) {
  for (QWidget* w : {static_cast<QWidget*>(splitter_), static_cast<QWidget*>(operation_box_),
                     static_cast<QWidget*>(overwrite_), static_cast<QWidget*>(start_button_),
                     static_cast<QWidget*>(refresh_button_)}) {
    w->setEnabled(!frozen);
  }
}

void TCompressForm::StartButtonClick() {
  // The progress box lets events through while a run goes on: a second click starts nothing.
  if (Running() || !TakeTypedFolders() || !presenter_->BeginRun()) return;
  close_requested_ = false;
  emit RunningChanged(true);
  // The run lets events through: the folders, marks and choices stay as they were at "Start".
  FreezeControls(true);
  RunProgress progress(this, progress_delay_ms_);
  prompts_->SetProgress(&progress);
  presenter_->Run(static_cast<codec::Operation>(std::max(0, operation_->checkedId())),
                  overwrite_->isChecked());
  prompts_->SetProgress(nullptr);
  progress.StepAside();
  ShowSourceLines();
  ShowZielLines();
  // Input that came during the last file (an impatient second click on "Start") reaches the
  // controls while they are still off, instead of starting a second run once they are on.
  QApplication::processEvents();
  FreezeControls(false);
  emit RunningChanged(false);
  presenter_->EndRun();
  const std::string& count = presenter_->state().count_text;
  if (!count.empty()) count_label_->setText(Text(count));
  if (close_requested_) close();
}

}  // namespace ui
