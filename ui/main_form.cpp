// The main window: controls, geometry and the handlers that forward to rom/.
#include "ui/main_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QStyledItemDelegate>

#include "rom/add_replace.h"
#include "rom/delete.h"
#include "rom/edit_steps.h"
#include "rom/export.h"
#include "rom/file_io.h"
#include "rom/selection.h"
#include "rom/text_format.h"
#include "ui/compress_form.h"
#include "ui/console/file_creation_time.h"
#include "ui/hex_panel.h"
#include "ui/line_list_model.h"
#include "ui/qt_text.h"

namespace ui {

namespace {

constexpr int kListRowHeight = 14;
constexpr int kListColumns = 132;  // wide enough for the longest memory-map lines

// Rows of a fixed height and one width for all, so that the padded columns line up and the
// view can take every row's size from the first one.
class FixedRowDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return {option.fontMetrics.horizontalAdvance(QLatin1Char('8')) * kListColumns, kListRowHeight};
  }
};

QListView* MakeList(QWidget* parent, const char* name, LineListModel* model) {
  auto* view = new QListView(parent);
  view->setObjectName(name);
  view->setModel(model);
  view->setFont(FixedPitchFont(12));
  view->setUniformItemSizes(true);
  view->setItemDelegate(new FixedRowDelegate(view));
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  view->setTextElideMode(Qt::ElideNone);
  return view;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int x, int y,
                        int w, int h) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setGeometry(x, y, w, h);
  return b;
}

QString Lines(std::initializer_list<const char*> lines) {
  QStringList list;
  for (const char* l : lines) list << QString::fromUtf8(l);
  return list.join('\n');
}

}  // namespace

TMainForm::TMainForm(Dialogs& dialogs, const codec::CompressionLibrary& library, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), library_(library) {
  setObjectName("MainForm");
  setWindowTitle("Windows CE ROM Viewer");
  resize(640, 560);
  setMinimumSize(640, 560);
  QFont small = font();  // the small dialog font of the panel's fixed geometry
  small.setPixelSize(11);
  setFont(small);
  // FormCreate: no image yet; the open dialog starts in the program's own folder.
  open_folder_ = QCoreApplication::applicationDirPath();

  auto* central = new QWidget(this);
  auto* row = new QHBoxLayout(central);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  BuildClientArea();
  BuildPanel();
  row->addWidget(li_box_->parentWidget(), 1);
  row->addWidget(panel_);
  setCentralWidget(central);

  statusBar()->setObjectName("StaBar");
  statusBar()->setFixedHeight(26);
  statusBar()->setSizeGripEnabled(false);
  for (int i = 0; i < 2; ++i) {
    status_[i] = new QLabel(this);
    status_[i]->setObjectName(i == 0 ? "StatusPanel1" : "StatusPanel2");
    status_[i]->setFrameShape(QFrame::Panel);
    status_[i]->setFrameShadow(QFrame::Sunken);
  }
  status_[0]->setFixedWidth(250);
  statusBar()->addWidget(status_[0]);
  statusBar()->addWidget(status_[1], 1);
}

TMainForm::~TMainForm() { CloseHexPanels(); }

THexPanel* TMainForm::HexPanel() const { return hex_panel_; }

TCompressForm* TMainForm::CompressForm() const { return compress_form_; }

void TMainForm::BuildClientArea() {
  auto* client = new QWidget(this);
  auto* grid = new QGridLayout(client);
  grid->setContentsMargins(0, 0, 0, 0);
  log_model_ = new LineListModel(&lists_.AnalysisLog, this);
  map_model_ = new LineListModel(&lists_.MemoryMap, this);

  li_box_ = MakeList(client, "LiBox", log_model_);
  grid->addWidget(li_box_, 0, 0);

  file_box_ = new QGroupBox("Sortierte Dateiliste", client);
  file_box_->setObjectName("FileBox");
  file_box_->setAutoFillBackground(true);  // lies over the log
  auto* file_layout = new QGridLayout(file_box_);
  file_list_box_ = MakeList(file_box_, "FileListBox", map_model_);
  file_layout->addWidget(file_list_box_, 0, 0);
  grid->addWidget(file_box_, 0, 0);
  file_box_->hide();

  delete_group_box_ = new QGroupBox(QString::fromUtf8("einen Block löschen"), client);
  delete_group_box_->setObjectName("DeleteGroupBox");
  delete_group_box_->setAutoFillBackground(true);
  auto* label =
      new QLabel(Lines({"Warnung! ", "Dieses ist ein Block, der gelinkte und in der XIP-Kette",
                        "enthaltene Programmteile enthalten KANN (nicht muss!).",
                        "Wenn Sie fortfahren, wird dieser Block aus dem",
                        "ROM Image entfernt und alles Nachfolgende nach vorn", "verschoben."}),
                 delete_group_box_);
  label->setObjectName("Label1");
  label->setGeometry(16, 32, 440, 110);
  auto* yes = MakeButton(delete_group_box_, "Ja_Loeschen_Button",
                         QString::fromUtf8("Ja diesen Block löschen"), 16, 160, 200, 33);
  auto* no = MakeButton(delete_group_box_, "ExitButton", QString::fromUtf8("Nein ich will zurück"),
                        232, 160, 200, 33);
  connect(yes, &QPushButton::clicked, this, &TMainForm::Ja_Loeschen_ButtonClick);
  connect(no, &QPushButton::clicked, this, &TMainForm::ExitButtonClick);
  grid->addWidget(delete_group_box_, 0, 0);
  delete_group_box_->hide();

  connect(li_box_, &QListView::clicked, this, &TMainForm::LiBoxClick);
  connect(li_box_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    if (!selecting_) LiBoxClick();
  });
  connect(file_list_box_, &QListView::clicked, this, &TMainForm::FileListBoxClick);
  connect(file_list_box_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    if (!selecting_) FileListBoxClick();
  });
}

void TMainForm::BuildPanel() {
  panel_ = new QWidget(this);
  panel_->setObjectName("Panel1");
  panel_->setFixedWidth(135);
  panel_->installEventFilter(this);

  flash_radio_ = new QGroupBox("Flash Size", panel_);
  flash_radio_->setObjectName("FlashRadio");
  flash_radio_->setGeometry(8, 8, 121, 57);
  flash_group_ = new QButtonGroup(this);
  const char* flash_items[] = {"32 MB", "64 MB"};
  for (int i = 0; i < 2; ++i) {
    auto* r = new QRadioButton(flash_items[i], flash_radio_);
    r->setObjectName(i == 0 ? "Flash32" : "Flash64");
    r->setGeometry(8, 16 + 18 * i, 100, 18);
    flash_group_->addButton(r, i);
  }
  connect(flash_group_, &QButtonGroup::idClicked, this, &TMainForm::FlashRadioClick);

  preset_ = new QGroupBox("Preset", panel_);
  preset_->setObjectName("Preset");
  preset_->setGeometry(8, 64, 121, 33);
  auto* preset_zero = new QRadioButton("0", preset_);
  preset_zero->setObjectName("Preset0");
  preset_zero->setGeometry(8, 14, 50, 17);
  preset_zero->setChecked(true);
  preset_ff_ = new QRadioButton("FF", preset_);
  preset_ff_->setObjectName("PresetFF");
  preset_ff_->setGeometry(64, 14, 50, 17);

  lade_button_ = MakeButton(panel_, "LadeButton", "Lade  *.NB0", 8, 104, 121, 25);
  lade_button_->setEnabled(false);
  connect(lade_button_, &QPushButton::clicked, this, &TMainForm::LadeButtonClick);
  write_button_ = MakeButton(panel_, "WriteButton", "Log speichern", 8, 136, 121, 25);
  connect(write_button_, &QPushButton::clicked, this, &TMainForm::WriteButtonClick);
  file_list_check_box_ = new QCheckBox("Zeige sortierte Liste", panel_);
  file_list_check_box_->setObjectName("FileListCheckBox");
  file_list_check_box_->setGeometry(8, 176, 121, 25);
  connect(file_list_check_box_, &QCheckBox::clicked, this, &TMainForm::FileListCheckBoxClick);
  hex_button_ = MakeButton(panel_, "HexButton", "Add Hex View", 8, 208, 121, 33);
  hex_button_->hide();
  connect(hex_button_, &QPushButton::clicked, this, &TMainForm::HexButtonClick);
  compress_tool_button_ = MakeButton(panel_, "CompressToolButton", "CompressTool", 8, 264, 113, 33);
  connect(compress_tool_button_, &QPushButton::clicked, this, &TMainForm::CompressToolButtonClick);

  group_box1_ = new QGroupBox("Datei Export", panel_);
  group_box1_->setObjectName("GroupBox1");
  save_file_button_ = MakeButton(group_box1_, "SaveFileButton", "Datei speichern", 8, 16, 113, 33);
  save_file_button_->setEnabled(false);
  connect(save_file_button_, &QPushButton::clicked, this, &TMainForm::SaveFileButtonClick);
  raw_check_box_ = new QCheckBox("Export roh", group_box1_);
  raw_check_box_->setObjectName("RawCheckBox");
  raw_check_box_->setGeometry(16, 54, 105, 25);
  raw_check_box_->setToolTip(
      Lines({"Import / Export ", "roh = so wie ist.", "nicht roh = decompressed"}));

  fedit_group_box_ = new QGroupBox("Edit Datei", panel_);
  fedit_group_box_->setObjectName("FeditGroupBox");
  fedit_group_box_->setAutoFillBackground(true);  // covers "CompressTool" when shown
  struct ButtonSpec {
    const char* name;
    const char* caption;
    void (TMainForm::*handler)();
    QPushButton** field;
  };
  const ButtonSpec buttons[] = {
      {"DeleteButton", rom::kDeleteFileCaption, &TMainForm::DeleteButtonClick, &delete_button_},
      {"ReplaceButton", "Datei ersetzen", &TMainForm::ReplaceButtonClick, &replace_button_},
      {"AddButton", "Datei hinzu", &TMainForm::AddButtonClick, &add_button_},
      {"EntryEditButton", "Eintrag editieren", &TMainForm::EntryEditButtonClick,
       &entry_edit_button_},
      {"ImageSaveButton", "Image speichern", &TMainForm::ImageSaveButtonClick, &image_save_button_},
  };
  for (int i = 0; i < 5; ++i) {
    *buttons[i].field = MakeButton(fedit_group_box_, buttons[i].name,
                                   FromCp1252(buttons[i].caption), 16, 16 + 32 * i, 97, 25);
    connect(*buttons[i].field, &QPushButton::clicked, this, buttons[i].handler);
  }
  delete_button_->setToolTip(Lines({"Datei echt löschen und ", "aus der Fileliste austragen.",
                                    "(geht nur dann, wenn dahinter", "keine festen Blöcke sind)"}));
  replace_button_->setToolTip(
      Lines({"Datei mit anderer Datei gleicher", "oder geringerer Größe ersetzen"}));
  add_button_->setToolTip(
      Lines({"Neue Datei in das Windows-Image", "einfügen. Maximal stehen dafür",
             "32 MB / 64 MB zur Verfügung."}));
  fedit_group_box_->hide();

  edit_box_ = new QGroupBox("Datei Attribute", panel_);
  edit_box_->setObjectName("EditBox");
  edit_box_->setAutoFillBackground(true);
  const char* box_names[] = {"C_CheckBox", "H_CheckBox", "R_CheckBox", "S_CheckBox"};
  const char* box_captions[] = {"\"C\" compressed", "\"H\" hidden", "\"R\" im ROM", "\"S\" System"};
  for (int i = 0; i < 4; ++i) {
    attribute_boxes_[i] = new QCheckBox(box_captions[i], edit_box_);
    attribute_boxes_[i]->setObjectName(box_names[i]);
    attribute_boxes_[i]->setGeometry(8, 18 + 22 * i, 119, 20);
    connect(attribute_boxes_[i], &QCheckBox::clicked, this, &TMainForm::CheckBoxClick);
  }
  auto* atts = new QLabel("Atts", edit_box_);
  atts->setGeometry(8, 108, 60, 16);
  att_edit_ = new QLineEdit("$00000000", edit_box_);
  att_edit_->setObjectName("AttEdit");
  att_edit_->setGeometry(8, 124, 113, 22);
  auto* real = new QLabel("RealSize", edit_box_);
  real->setGeometry(8, 150, 60, 16);
  real_edit_ = new QLineEdit("00000", edit_box_);
  real_edit_->setObjectName("RealEdit");
  real_edit_->setGeometry(8, 166, 113, 22);
  auto* exit = MakeButton(edit_box_, "EDEXButton", "Exit", 8, 200, 52, 25);
  auto* ok = MakeButton(edit_box_, "EDOKButton", "OK", 69, 200, 52, 25);
  connect(exit, &QPushButton::clicked, this, &TMainForm::EDEXButtonClick);
  connect(ok, &QPushButton::clicked, this, &TMainForm::EDOKButtonClick);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), edit_box_);
  escape->setContext(Qt::WidgetWithChildrenShortcut);
  connect(escape, &QShortcut::activated, this, &TMainForm::EDEXButtonClick);
  edit_box_->hide();
  LayoutPanel();
}

// The docked groups follow the panel's height: "Datei Export" at the bottom, "Edit Datei"
// above it, "Datei Attribute" along the top.
void TMainForm::LayoutPanel() {
  const int h = panel_->height();
  group_box1_->setGeometry(0, h - 79, 135, 79);
  fedit_group_box_->setGeometry(0, h - 79 - 176, 135, 176);
  edit_box_->setGeometry(0, 0, 135, 240);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == panel_ && event->type() == QEvent::Resize) LayoutPanel();
  return QMainWindow::eventFilter(watched, event);
}

QString TMainForm::StatusText(int panel) const { return status_[panel == 1 ? 0 : 1]->text(); }

void TMainForm::SetStatus(int panel, const QString& text) {
  status_[panel == 1 ? 0 : 1]->setText(text);
}

int64_t TMainForm::SelectedRow(const QListView* view) const {
  const QModelIndexList rows = view->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

uint8_t TMainForm::PresetByte() const { return preset_ff_->isChecked() ? 0xFF : 0x00; }

bool TMainForm::SortedShown() const { return file_list_check_box_->isChecked(); }

void TMainForm::SelectMapRow(int64_t row) {
  selecting_ = true;
  if (row >= 0 && row < map_model_->rowCount()) {
    const QModelIndex index = map_model_->index(static_cast<int>(row));
    file_list_box_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    file_list_box_->scrollTo(index);
  } else {
    file_list_box_->selectionModel()->clearSelection();
  }
  selecting_ = false;
}

void TMainForm::ListsChanged() {
  selecting_ = true;
  log_model_->BeginChange();
  log_model_->EndChange();
  map_model_->BeginChange();
  map_model_->EndChange();
  selecting_ = false;
  // The attribute box edits an entry by its index: it closes when the table changes.
  if (!edit_box_->isHidden()) {
    edit_box_->hide();
    edit_state_ = {};
  }
}

void TMainForm::Present(const rom::ActionOutcome& o) {
  if (o.status1) SetStatus(1, FromCp1252(*o.status1));
  if (o.status2) SetStatus(2, FromCp1252(*o.status2));
  if (o.lists_rebuilt) {
    ListsChanged();
    SelectMapRow(o.select_index);
  }
  if (o.beep) dialogs_.Beep();
  if (o.message)
    dialogs_.Message(this, FromCp1252(o.message->text), FromCp1252(o.message->caption));
}

void TMainForm::FlashRadioClick() { lade_button_->setEnabled(true); }

void TMainForm::LoadAtStart(const QString& path) {
  flash_group_->button(0)->setChecked(true);
  FlashRadioClick();
  Load(path);
}

void TMainForm::LadeButtonClick() {
  const auto path =
      dialogs_.OpenFile(this, {.title = QString(),
                               .filter = "linked WinCE Images (*.nb0);;all Files (*.*)",
                               .folder = open_folder_});
  if (!path) return;
  Load(*path);
}

void TMainForm::Load(const QString& path) {
  flash_radio_->setEnabled(false);
  preset_->setEnabled(false);
  replace_button_->setEnabled(false);
  delete_button_->setEnabled(false);
  // Windows that read the buffer close before the load releases it.
  CloseHexPanels();
  log_model_->BeginChange();
  map_model_->BeginChange();
  lists_.AnalysisLog.clear();
  lists_.MemoryMap.clear();
  const rom::FlashChoice flash =
      flash_group_->checkedId() == 1 ? rom::FlashChoice::k64MB : rom::FlashChoice::k32MB;
  const rom::LoadResult load = rom::LoadImage(image_, PathToNative(path), flash, PresetByte());
  if (!load.status_text.empty()) SetStatus(1, FromCp1252(load.status_text));
  if (load.ok) rom::AnalyseImage(image_, lists_);
  log_model_->EndChange();
  map_model_->EndChange();
  if (!edit_box_->isHidden()) EDEXButtonClick();
  if (!load.ok) {
    dialogs_.Message(this, PathFromNative(load.error), "Tarnwick");
    return;
  }
  setWindowTitle(path);
}

void TMainForm::LiBoxClick() {
  const int64_t row = SelectedRow(li_box_);
  if (row < 0) return;
  if (rom::ClickOnLogLineEnablesExport(lists_.AnalysisLog, row)) {
    save_file_button_->setEnabled(true);
    SetStatus(2, FromCp1252(lists_.AnalysisLog[static_cast<size_t>(row)]));
  } else {
    save_file_button_->setEnabled(false);
    SetStatus(2, QString());
  }
}

void TMainForm::FileListBoxClick() {
  const int64_t row = SelectedRow(file_list_box_);
  if (row < 0) return;
  SetStatus(2, FromCp1252(lists_.MemoryMap[static_cast<size_t>(row)]));
  const rom::MapLineButtons b = rom::ClickOnMapLine(lists_.MemoryMap, row);
  replace_button_->setEnabled(b.replace_enabled);
  save_file_button_->setEnabled(b.save_enabled);
  delete_button_->setEnabled(b.delete_enabled);
  if (b.delete_caption) delete_button_->setText(FromCp1252(*b.delete_caption));
}

void TMainForm::FileListCheckBoxClick() {
  replace_button_->setEnabled(false);
  delete_button_->setEnabled(false);
  const bool shown = SortedShown();
  file_box_->setVisible(shown);
  if (shown) file_box_->raise();
  write_button_->setText(shown ? "Liste speichern" : "Log speichern");
  SetStatus(2, QString());
  hex_button_->setVisible(shown);
  fedit_group_box_->setVisible(shown);
  if (shown) fedit_group_box_->raise();
  // The editing group lies over "CompressTool" whatever the window's height.
  compress_tool_button_->setVisible(!shown);
}

void TMainForm::WriteButtonClick() {
  const bool sorted = SortedShown();
  const auto path =
      dialogs_.SaveFile(this, {.title = sorted ? "Sortierte Dateiliste speichern" : "Log speichern",
                               .confirm_overwrite = true});
  if (!path) return;
  std::string text;
  for (const std::string& line : sorted ? lists_.MemoryMap : lists_.AnalysisLog) {
    text += line;
    text += "\r\n";
  }
  const std::string error = rom::WriteWholeFile(
      PathToNative(*path), reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (!error.empty()) dialogs_.Message(this, PathFromNative(error), "Tarnwick");
}

void TMainForm::CompressToolButtonClick() {
  auto* form = new TCompressForm(dialogs_, library_, this);
  form->setAttribute(Qt::WA_DeleteOnClose);
  compress_form_ = form;
  form->move(frameGeometry().topRight());
  form->show();
}

void TMainForm::HexButtonClick() {
  if (map_model_->rowCount() == 0 || !image_.HasData()) return;
  int64_t row = SelectedRow(file_list_box_);
  if (row < 0) {
    row = 0;
    SelectMapRow(0);
  }
  const std::string& line = lists_.MemoryMap[static_cast<size_t>(row)];
  const uint32_t first = rom::LineStart(line).value_or(0);
  const uint32_t last = rom::LineEnd(line).value_or(0);
  auto* panel = new THexPanel(image_.Data(), image_.BufferSize, this);
  panel->setAttribute(Qt::WA_DeleteOnClose);
  panel->SetRange(static_cast<int32_t>(first), static_cast<int32_t>(last));
  panel->SetBaseAddr(image_.RomBase);
  hex_panels_.push_back(panel);
  hex_panel_ = panel;
  panel->show();
}

void TMainForm::CloseHexPanels() {
  for (const QPointer<THexPanel>& panel : hex_panels_) {
    if (panel) panel->close();
  }
  hex_panels_.clear();
}

void TMainForm::SaveFileButtonClick() {
  const rom::ExportSelection sel = rom::SelectExportEntry(
      image_, lists_, SortedShown(), SelectedRow(li_box_), SelectedRow(file_list_box_));
  if (sel.status1) SetStatus(1, FromCp1252(*sel.status1));
  if (!sel.target) return;
  const QString name = FromCp1252(sel.target->name);
  const auto path = dialogs_.SaveFile(this, {.title = FromCp1252(sel.target->dialog_title),
                                             .file_name = name,
                                             .confirm_overwrite = true});
  if (!path) {
    Present(rom::ExportCancelled());
    return;
  }
  const rom::RomDecompressor decompress = [this](const uint8_t* src, uint32_t len, uint8_t* dst,
                                                 uint32_t cap, uint32_t zero, uint32_t one,
                                                 uint32_t page) {
    return library_.CEDecompressROM(src, len, dst, cap, zero, one, page);
  };
  Present(rom::ExportEntry(image_, *sel.target, PathToNative(*path), raw_check_box_->isChecked(),
                           decompress));
}

void TMainForm::DeleteButtonClick() {
  rom::DeleteClick click =
      rom::DeleteButtonClick(image_, lists_, SelectedRow(file_list_box_), PresetByte());
  if (click.show_block_warning) {
    delete_group_box_->show();
    delete_group_box_->raise();
    return;
  }
  Present(click.outcome);
}

void TMainForm::Ja_Loeschen_ButtonClick() {
  delete_group_box_->hide();
  Present(rom::DeleteBlock(image_, lists_, SelectedRow(file_list_box_), PresetByte()));
}

void TMainForm::ExitButtonClick() { delete_group_box_->hide(); }

void TMainForm::AddButtonClick() {
  const auto path =
      dialogs_.OpenFile(this, {.title = QString::fromUtf8("Datei zum Einfügen aussuchen")});
  if (!path) return;
  const std::string native = PathToNative(*path);
  Present(rom::AddFile(
      image_, lists_, {native, rom::EntryNameFromPath(native), console::FileCreationTime(native)}));
}

void TMainForm::ReplaceButtonClick() {
  const auto plan = rom::PlanReplace(lists_.MemoryMap, SelectedRow(file_list_box_));
  if (!plan) return;
  const auto path =
      dialogs_.OpenFile(this, {.title = QString::fromUtf8("Datei zum Einfügen aussuchen")});
  if (!path) return;
  Present(rom::ReplaceFile(image_, lists_, *plan, PathToNative(*path), PresetByte()));
}

void TMainForm::EntryEditButtonClick() {
  const auto box =
      rom::EntryEditButtonClick(image_, lists_.MemoryMap, SelectedRow(file_list_box_), edit_state_);
  if (edit_state_.EditPending) real_edit_->setEnabled(true);
  if (!box) return;
  SetStatus(1, FromCp1252(box->status1));
  att_edit_->setText(FromCp1252(box->att_text));
  for (int i = 0; i < 4; ++i) attribute_boxes_[i]->setChecked(box->checks[static_cast<size_t>(i)]);
  real_edit_->setText(FromCp1252(box->real_text));
  edit_box_->show();
  edit_box_->raise();
}

void TMainForm::CheckBoxClick() {
  std::array<bool, 4> checks{};
  for (int i = 0; i < 4; ++i) checks[static_cast<size_t>(i)] = attribute_boxes_[i]->isChecked();
  const auto text = rom::CheckBoxClick(att_edit_->text().toLatin1().toStdString(), checks);
  if (!text) {
    dialogs_.Beep();
    return;
  }
  att_edit_->setText(FromCp1252(*text));
}

void TMainForm::EDOKButtonClick() {
  const rom::EditOkResult r = rom::EditOkButtonClick(
      image_, lists_, edit_state_, att_edit_->text().toLatin1().toStdString(),
      real_edit_->text().toLatin1().toStdString(), SelectedRow(file_list_box_));
  if (!r.keep_box_open) edit_box_->hide();
  Present(r.outcome);
}

void TMainForm::EDEXButtonClick() {
  edit_box_->hide();
  SetStatus(1, QString());
}

void TMainForm::ImageSaveButtonClick() {
  rom::RefreshSecondPointer(image_);
  const auto path = dialogs_.SaveFile(this, {.title = "Image speichern",
                                             .filter = "ROM Images (*.nb0);;Other (*.*)",
                                             .default_suffix = "nb0",
                                             .confirm_overwrite = true,
                                             .confirm_create = true});
  if (!path) return;
  Present(rom::SaveImage(image_, PathToNative(*path)));
}

}  // namespace ui
