// The main window: its controls and their geometry, bound to the MainPresenter.
#include "ui/main_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <functional>

#include "ui/compress_form.h"
#include "ui/console/library_decompressor.h"
#include "ui/hex_panel.h"
#include "ui/line_list_model.h"
#include "ui/list_rows.h"
#include "ui/qt_text.h"
#include "ui/window_placement.h"

namespace ui {

namespace {

constexpr int kListRowHeight = 14;
constexpr int kListColumns = 132;  // wide enough for the longest memory-map lines
constexpr int kPanelWidth = 135;   // the control panel at the usual font; larger fonts widen it

QListView* MakeList(QWidget* parent, const char* name, LineListModel* model) {
  auto* view = new QListView(parent);
  view->setObjectName(name);
  view->setModel(model);
  SetUpLineList(view, 12, kListRowHeight, kListColumns);
  return view;
}

// A group whose items are laid out by `layout`, with the tight margins of the panel.
template <typename Layout>
Layout* GroupLayout(QGroupBox* box, int spacing) {
  auto* layout = new Layout(box);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setSpacing(spacing);
  return layout;
}

// At least the designed size, and never below what the control's caption and contents need:
// a minimum set on a widget replaces the one its contents would give the layout. Call it
// once the control has its font and contents.
void AtLeast(QWidget* w, int width, int height) {
  w->setMinimumSize(QSize(width, height).expandedTo(w->minimumSizeHint()));
}

// A button of the panel: at least its designed size, larger where its caption needs it.
QPushButton* PanelButton(QWidget* parent, const char* name, const QString& caption, int w, int h) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  // A push button's least size hint holds the style's least width, not its caption's.
  const QFontMetrics metrics(b->font());
  const int frame = 2 * b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  const int margin = b->style()->pixelMetric(QStyle::PM_ButtonMargin);
  b->setMinimumSize(std::max(w, metrics.horizontalAdvance(caption) + margin + frame + 4),
                    std::max(h, metrics.height() + frame + 2));
  return b;
}

// The one local file that `mime` carries; nullopt for folders, several files or anything else.
std::optional<QString> DroppedFile(const QMimeData* mime) {
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return std::nullopt;
  const QUrl url = mime->urls().front();
  if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isFile()) return std::nullopt;
  return url.toLocalFile();
}

QString Lines(std::initializer_list<const char*> lines) {
  QStringList list;
  for (const char* l : lines) list << QString::fromUtf8(l);
  return list.join('\n');
}

}  // namespace

// The presenter's questions, put through the window's dialogs.
class TMainForm::PromptsAdapter final : public presenter::Prompts {
 public:
  // `show` brings the window up to the presenter's state before a dialog blocks it: the
  // person sees what the action is about ("save x" in panel 1) while the dialog asks.
  PromptsAdapter(Dialogs& dialogs, QWidget* parent, std::function<void()> show)
      : dialogs_(dialogs), parent_(parent), show_(std::move(show)) {}

  std::optional<std::string> OpenFile(const presenter::FileRequest& r) override {
    show_();
    return Native(dialogs_.OpenFile(parent_, Request(r)));
  }
  std::optional<std::string> SaveFile(const presenter::FileRequest& r) override {
    show_();
    return Native(dialogs_.SaveFile(parent_, Request(r)));
  }
  void Message(const std::string& text, const std::string& caption,
               presenter::Severity severity) override {
    show_();
    dialogs_.Message(parent_, QString::fromStdString(text), QString::fromStdString(caption),
                     severity);
  }
  void Beep() override { dialogs_.Beep(); }
  presenter::SaveChanges AskSaveChanges() override {
    show_();
    return dialogs_.AskSaveChanges(parent_);
  }

 private:
  static FileDialogRequest Request(const presenter::FileRequest& r) {
    return {.title = QString::fromStdString(r.title),
            .filter = QString::fromStdString(r.filter),
            .folder = PathFromNative(r.folder),
            .file_name = QString::fromStdString(r.file_name),
            .default_suffix = QString::fromStdString(r.default_suffix),
            .confirm_overwrite = r.confirm_overwrite,
            .confirm_create = r.confirm_create};
  }
  static std::optional<std::string> Native(const std::optional<QString>& path) {
    if (!path) return std::nullopt;
    return PathToNative(*path);
  }

  Dialogs& dialogs_;
  QWidget* parent_;
  std::function<void()> show_;
};

TMainForm::TMainForm(Dialogs& dialogs, const codec::CompressionLibrary& library, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), library_(library) {
  setObjectName("MainForm");
  resize(640, 560);
  setAcceptDrops(true);
  // The small dialog font of the designed geometry: 11 pixels where the desktop's font has 12
  // (9 points at 96 dots an inch). It follows the desktop's font size, and the panel with it.
  QFont small = QApplication::font();
  if (small.pointSizeF() > 0) {
    small.setPointSizeF(small.pointSizeF() * 11 / 12);
  } else {
    small.setPixelSize(std::max(1, small.pixelSize() * 11 / 12));
  }
  setFont(small);
  prompts_ = std::make_unique<PromptsAdapter>(dialogs_, this, [this] {
    if (presenter_) Sync();
  });
  // The open dialog starts in the program's own folder.
  presenter_ = std::make_unique<presenter::MainPresenter>(
      *prompts_, console::MakeDecompressor(library_),
      PathToNative(QCoreApplication::applicationDirPath()), console::MakeStreamCodec(library_));
  // Windows that read the buffer close before a load releases it.
  presenter_->SetBeforeBufferRelease([this] { CloseHexPanels(); });

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
  statusBar()->setSizeGripEnabled(false);
  for (int i = 0; i < 2; ++i) {
    status_[i] = new QLabel(this);
    status_[i]->setObjectName(i == 0 ? "StatusPanel1" : "StatusPanel2");
    status_[i]->setFrameShape(QFrame::Panel);
    status_[i]->setFrameShadow(QFrame::Sunken);
  }
  // 250 pixels at the usual font; a larger font widens it to keep the load text whole.
  status_[0]->setText("max. FlashSize: 67108864 ( 64 MB )");
  status_[0]->setFixedWidth(std::max(250, status_[0]->sizeHint().width()));
  status_[1]->setMinimumWidth(1);  // a long line is cut at the window's edge
  statusBar()->addWidget(status_[0]);
  statusBar()->addWidget(status_[1], 1);
  statusBar()->setMinimumHeight(std::max(26, statusBar()->sizeHint().height()));
  BuildShortcuts();
  Sync();
}

TMainForm::~TMainForm() { CloseHexPanels(); }

THexPanel* TMainForm::HexPanel() const { return hex_panel_; }

TCompressForm* TMainForm::CompressForm() const { return compress_form_; }

void TMainForm::Connect(QPushButton* button, void (presenter::MainPresenter::*action)()) {
  connect(button, &QPushButton::clicked, this, [this, action] {
    ((*presenter_).*action)();
    Sync();
  });
}

void TMainForm::BuildShortcuts() {
  const auto add = [this](std::initializer_list<QKeySequence> keys, std::function<void()> action) {
    for (const QKeySequence& key : keys) {
      auto* shortcut = new QShortcut(key, this);
      shortcut->setContext(Qt::WindowShortcut);
      connect(shortcut, &QShortcut::activated, this, [this, action] {
        // Off while a batch run goes on, as the panel's buttons are.
        if (running_batches_ != 0) return;
        action();
        Sync();
      });
    }
  };
  presenter::MainPresenter& p = *presenter_;
  add({QKeySequence(Qt::CTRL | Qt::Key_O)}, [&p] {
    if (p.state().load.enabled) p.Load();
  });
  add({QKeySequence(Qt::CTRL | Qt::Key_S)}, [&p] {
    if (p.image().HasData()) p.SaveImage();
  });
  // The same as "Datei löschen" / "Block löschen": only where the button is on.
  add({QKeySequence(Qt::Key_Delete)}, [&p] { p.DeleteSelected(); });
  add({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)}, [&p] { p.Reload(); });
  add({QKeySequence(Qt::CTRL | Qt::Key_F)}, [this] {
    filter_edit_->setFocus(Qt::ShortcutFocusReason);
    filter_edit_->selectAll();
  });
}

void TMainForm::BuildClientArea() {
  auto* client = new QWidget(this);
  auto* grid = new QGridLayout(client);
  grid->setContentsMargins(0, 0, 0, 0);
  log_model_ = new LineListModel(&presenter_->lists().AnalysisLog, this);
  map_model_ = new LineListModel(&presenter_->lists().MemoryMap, this);

  log_model_->SetShown(&presenter_->state().log_shown);
  map_model_->SetShown(&presenter_->state().map_shown);

  // The filter box above the lists: typing narrows both to the lines that contain the text.
  filter_edit_ = new QLineEdit(client);
  filter_edit_->setObjectName("FilterEdit");
  filter_edit_->setPlaceholderText("Filter (Strg+F)");
  filter_edit_->setClearButtonEnabled(true);
  connect(filter_edit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (syncing_) return;
    presenter_->SetFilter(text.toStdString());
    Sync();
  });
  grid->addWidget(filter_edit_, 0, 0);

  li_box_ = MakeList(client, "LiBox", log_model_);
  grid->addWidget(li_box_, 1, 0);

  file_box_ = new QGroupBox("Sortierte Dateiliste", client);
  file_box_->setObjectName("FileBox");
  file_box_->setAutoFillBackground(true);  // lies over the log
  auto* file_layout = new QGridLayout(file_box_);
  file_list_box_ = MakeList(file_box_, "FileListBox", map_model_);
  file_layout->addWidget(file_list_box_, 0, 0);
  grid->addWidget(file_box_, 1, 0);
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
  auto* yes = PanelButton(delete_group_box_, "Ja_Loeschen_Button",
                          QString::fromUtf8("Ja diesen Block löschen"), 200, 33);
  auto* no = PanelButton(delete_group_box_, "ExitButton", QString::fromUtf8("Nein ich will zurück"),
                         200, 33);
  auto* warning = new QVBoxLayout(delete_group_box_);
  warning->setContentsMargins(16, 16, 16, 16);
  warning->setSpacing(16);
  warning->addWidget(label);
  auto* answers = new QHBoxLayout();
  answers->setSpacing(16);
  answers->addWidget(yes);
  answers->addWidget(no);
  answers->addStretch(1);
  warning->addLayout(answers);
  warning->addStretch(1);
  Connect(yes, &presenter::MainPresenter::ConfirmBlockDeletion);
  Connect(no, &presenter::MainPresenter::CancelBlockDeletion);
  grid->addWidget(delete_group_box_, 1, 0);
  delete_group_box_->hide();

  // A row is taken from the index that the signal names: while a mouse press moves the current
  // row, the selection still holds the old one, and re-selecting that would scroll it back
  // under the pointer.
  auto on_row = [this](void (presenter::MainPresenter::*select)(int64_t), LineListModel* model) {
    return [this, select, model](const QModelIndex& index) {
      if (syncing_ || !index.isValid()) return;
      ((*presenter_).*select)(model->RowOf(index.row()));
      Sync();
    };
  };
  const auto log_click = on_row(&presenter::MainPresenter::SelectLogLine, log_model_);
  const auto map_click = on_row(&presenter::MainPresenter::SelectMapLine, map_model_);
  connect(li_box_, &QListView::clicked, this, log_click);
  connect(li_box_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, log_click);
  connect(file_list_box_, &QListView::clicked, this, map_click);
  connect(file_list_box_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          map_click);
}

void TMainForm::BuildPanel() {
  panel_ = new QWidget(this);
  panel_->setObjectName("Panel1");
  panel_->installEventFilter(this);
  // Top to bottom: the controls at the top, "Edit Datei" above "Datei Export" at the bottom.
  // "Datei Attribute" lies over the top controls when shown (placed in LayoutPanel).
  auto* column = new QVBoxLayout(panel_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* top = new QVBoxLayout();
  top->setContentsMargins(8, 8, 6, 0);
  top->setSpacing(4);
  column->addLayout(top);
  top->addWidget(BuildFlashGroup());
  top->addWidget(BuildPresetGroup());
  BuildTopButtons(top);
  column->addStretch(1);
  column->addWidget(BuildEditGroup());
  column->addWidget(BuildExportGroup());
  BuildAttributeBox();
  FitPanelWidth();
  LayoutPanel();
}

QGroupBox* TMainForm::BuildFlashGroup() {
  flash_radio_ = new QGroupBox("Flash Size", panel_);
  flash_radio_->setObjectName("FlashRadio");
  auto* flash_items = GroupLayout<QVBoxLayout>(flash_radio_, 0);
  flash_group_ = new QButtonGroup(this);
  const char* flash_captions[] = {"32 MB", "64 MB"};
  for (int i = 0; i < 2; ++i) {
    auto* r = new QRadioButton(flash_captions[i], flash_radio_);
    r->setObjectName(i == 0 ? "Flash32" : "Flash64");
    flash_items->addWidget(r);
    flash_group_->addButton(r, i);
  }
  connect(flash_group_, &QButtonGroup::idClicked, this, [this](int id) {
    presenter_->ChooseFlash(id == 1 ? rom::FlashChoice::k64MB : rom::FlashChoice::k32MB);
    Sync();
  });
  AtLeast(flash_radio_, 121, 57);
  return flash_radio_;
}

QGroupBox* TMainForm::BuildPresetGroup() {
  preset_ = new QGroupBox("Preset", panel_);
  preset_->setObjectName("Preset");
  auto* preset_items = GroupLayout<QHBoxLayout>(preset_, 6);
  auto* preset_zero = new QRadioButton("0", preset_);
  preset_zero->setObjectName("Preset0");
  preset_zero->setChecked(true);
  preset_ff_ = new QRadioButton("FF", preset_);
  preset_ff_->setObjectName("PresetFF");
  preset_items->addWidget(preset_zero, 1);  // two columns
  preset_items->addWidget(preset_ff_, 1);
  connect(preset_ff_, &QRadioButton::toggled, this,
          [this](bool on) { presenter_->ChoosePreset(on); });
  AtLeast(preset_, 121, 33);
  return preset_;
}

void TMainForm::BuildTopButtons(QVBoxLayout* top) {
  lade_button_ = PanelButton(panel_, "LadeButton", "Lade  *.NB0", 121, 25);
  Connect(lade_button_, &presenter::MainPresenter::Load);
  // Beside it, the images loaded or saved last.
  recent_button_ = new QToolButton(panel_);
  recent_button_->setObjectName("RecentButton");
  recent_button_->setArrowType(Qt::DownArrow);
  recent_button_->setToolTip("Zuletzt geöffnete Images");
  recent_button_->setPopupMode(QToolButton::InstantPopup);
  recent_button_->setMenu(new QMenu(recent_button_));
  recent_button_->setFixedSize(
      recent_button_->sizeHint().width(),
      std::max(recent_button_->sizeHint().height(), lade_button_->minimumHeight()));
  auto* load_row = new QHBoxLayout;
  load_row->setSpacing(2);
  load_row->addWidget(lade_button_, 1);
  load_row->addWidget(recent_button_);
  top->addLayout(load_row);
  write_button_ = PanelButton(panel_, "WriteButton", "Log speichern", 121, 25);
  Connect(write_button_, &presenter::MainPresenter::SaveList);
  top->addWidget(write_button_);
  top->addSpacing(4);
  file_list_check_box_ = new QCheckBox("Zeige sortierte Liste", panel_);
  file_list_check_box_->setObjectName("FileListCheckBox");
  AtLeast(file_list_check_box_, 121, 25);
  connect(file_list_check_box_, &QCheckBox::clicked, this, [this](bool checked) {
    presenter_->ShowSorted(checked);
    Sync();
  });
  top->addWidget(file_list_check_box_);
  hex_button_ = PanelButton(panel_, "HexButton", "Add Hex View", 121, 33);
  connect(hex_button_, &QPushButton::clicked, this, &TMainForm::OpenHexPanel);
  // "Add Hex View" keeps its place while hidden, so that the controls below do not move.
  QSizePolicy keep = hex_button_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  hex_button_->setSizePolicy(keep);
  top->addWidget(hex_button_);
  top->addSpacing(12);
  compress_tool_button_ = PanelButton(panel_, "CompressToolButton", "CompressTool", 113, 33);
  connect(compress_tool_button_, &QPushButton::clicked, this, &TMainForm::OpenCompressForm);
  top->addWidget(compress_tool_button_, 0, Qt::AlignLeft);
}

QGroupBox* TMainForm::BuildEditGroup() {
  fedit_group_box_ = new QGroupBox("Edit Datei", panel_);
  fedit_group_box_->setObjectName("FeditGroupBox");
  auto* fedit_items = GroupLayout<QVBoxLayout>(fedit_group_box_, 7);
  fedit_items->setContentsMargins(16, 2, 16, 6);
  struct PanelButtonDef {
    const char* name;
    const char* caption;
    void (presenter::MainPresenter::*action)();
    QPushButton** field;
  };
  const PanelButtonDef buttons[] = {
      {"DeleteButton", "Datei löschen", &presenter::MainPresenter::DeleteSelected, &delete_button_},
      {"ReplaceButton", "Datei ersetzen", &presenter::MainPresenter::ReplaceSelected,
       &replace_button_},
      {"AddButton", "Datei hinzu", &presenter::MainPresenter::AddFile, &add_button_},
      {"EntryEditButton", "Eintrag editieren", &presenter::MainPresenter::OpenEntryEdit,
       &entry_edit_button_},
      {"ImageSaveButton", "Image speichern", &presenter::MainPresenter::SaveImage,
       &image_save_button_},
  };
  for (const PanelButtonDef& def : buttons) {
    *def.field = PanelButton(fedit_group_box_, def.name, QString::fromUtf8(def.caption), 97, 25);
    Connect(*def.field, def.action);
    fedit_items->addWidget(*def.field);
  }
  delete_button_->setToolTip(Lines({"Datei echt löschen und ", "aus der Fileliste austragen.",
                                    "(geht nur dann, wenn dahinter", "keine festen Blöcke sind)"}));
  replace_button_->setToolTip(
      Lines({"Datei mit anderer Datei gleicher", "oder geringerer Größe ersetzen"}));
  add_button_->setToolTip(
      Lines({"Neue Datei in das Windows-Image", "einfügen. Maximal stehen dafür",
             "32 MB / 64 MB zur Verfügung."}));
  AtLeast(fedit_group_box_, 0, 176);
  fedit_group_box_->hide();
  return fedit_group_box_;
}

QGroupBox* TMainForm::BuildExportGroup() {
  group_box1_ = new QGroupBox("Datei Export", panel_);
  group_box1_->setObjectName("GroupBox1");
  auto* export_items = GroupLayout<QVBoxLayout>(group_box1_, 4);
  export_items->setContentsMargins(8, 2, 14, 4);
  save_file_button_ = PanelButton(group_box1_, "SaveFileButton", "Datei speichern", 113, 33);
  Connect(save_file_button_, &presenter::MainPresenter::ExportSelected);
  raw_check_box_ = new QCheckBox("Export roh", group_box1_);
  raw_check_box_->setObjectName("RawCheckBox");
  AtLeast(raw_check_box_, 0, 25);
  raw_check_box_->setToolTip(
      Lines({"Import / Export ", "roh = so wie ist.", "nicht roh = decompressed"}));
  connect(raw_check_box_, &QCheckBox::toggled, this,
          [this](bool on) { presenter_->SetRawExport(on); });
  export_items->addWidget(save_file_button_);
  auto* raw_row = new QHBoxLayout();
  raw_row->setContentsMargins(8, 0, 0, 0);
  raw_row->addWidget(raw_check_box_);
  export_items->addLayout(raw_row);
  AtLeast(group_box1_, 0, 79);
  return group_box1_;
}

void TMainForm::BuildAttributeBox() {
  edit_box_ = new QGroupBox("Datei Attribute", panel_);
  edit_box_->setObjectName("EditBox");
  edit_box_->setAutoFillBackground(true);  // lies over the top controls
  auto* edit_items = GroupLayout<QVBoxLayout>(edit_box_, 2);
  edit_items->setContentsMargins(8, 2, 14, 6);
  const char* box_names[] = {"C_CheckBox", "H_CheckBox", "R_CheckBox", "S_CheckBox"};
  const char* box_captions[] = {"\"C\" compressed", "\"H\" hidden", "\"R\" im ROM", "\"S\" System"};
  for (int i = 0; i < 4; ++i) {
    attribute_boxes_[i] = new QCheckBox(box_captions[i], edit_box_);
    attribute_boxes_[i]->setObjectName(box_names[i]);
    AtLeast(attribute_boxes_[i], 0, 20);
    edit_items->addWidget(attribute_boxes_[i]);
    connect(attribute_boxes_[i], &QCheckBox::clicked, this, [this] {
      presenter_->ToggleAttribute(att_edit_->text().toStdString(), AttributeChecks());
      Sync();
    });
  }
  edit_items->addSpacing(4);
  edit_items->addWidget(new QLabel("Atts", edit_box_));
  att_edit_ = new QLineEdit("$00000000", edit_box_);
  att_edit_->setObjectName("AttEdit");
  edit_items->addWidget(att_edit_);
  edit_items->addWidget(new QLabel("RealSize", edit_box_));
  real_edit_ = new QLineEdit("00000", edit_box_);
  real_edit_->setObjectName("RealEdit");
  edit_items->addWidget(real_edit_);
  edit_items->addStretch(1);
  auto* exit = PanelButton(edit_box_, "EDEXButton", "Exit", 52, 25);
  auto* ok = PanelButton(edit_box_, "EDOKButton", "OK", 52, 25);
  auto* edit_buttons = new QHBoxLayout();
  edit_buttons->setSpacing(9);
  edit_buttons->addWidget(exit);
  edit_buttons->addWidget(ok);
  edit_items->addLayout(edit_buttons);
  Connect(exit, &presenter::MainPresenter::CloseEntryEdit);
  connect(ok, &QPushButton::clicked, this, [this] {
    presenter_->ConfirmEntryEdit(att_edit_->text().toStdString(), real_edit_->text().toStdString());
    Sync();
  });
  // Escape closes the box wherever the focus is in the window (a shortcut of a hidden widget
  // does not fire).
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), edit_box_);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, exit, [this, exit] {
    if (edit_box_->isVisible()) exit->click();
  });
  edit_box_->hide();
}

// As wide as the widest control needs, hidden ones included, and never below the design.
void TMainForm::FitPanelWidth() {
  int width = kPanelWidth;
  for (QWidget* w :
       {static_cast<QWidget*>(flash_radio_), static_cast<QWidget*>(preset_),
        static_cast<QWidget*>(write_button_),
        static_cast<QWidget*>(file_list_check_box_), static_cast<QWidget*>(hex_button_),
        static_cast<QWidget*>(compress_tool_button_)}) {
    width = std::max(width, w->sizeHint().expandedTo(w->minimumSize()).width() + 14);
  }
  width = std::max(width, lade_button_->sizeHint().expandedTo(lade_button_->minimumSize()).width() +
                              2 + recent_button_->width() + 14);
  for (QGroupBox* box : {fedit_group_box_, group_box1_, edit_box_}) {
    width = std::max(width, box->minimumSizeHint().width());
  }
  panel_->setFixedWidth(width);
}

// "Datei Attribute" lies along the top of the panel, over everything down to "Add Hex View".
void TMainForm::LayoutPanel() {
  const int height =
      std::max({240, edit_box_->sizeHint().height(), hex_button_->geometry().bottom() + 1});
  edit_box_->setGeometry(0, 0, panel_->width(), height);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == panel_ && event->type() == QEvent::Resize) LayoutPanel();
  return QMainWindow::eventFilter(watched, event);
}

QString TMainForm::StatusText(int panel) const { return status_[panel == 1 ? 0 : 1]->text(); }

std::array<bool, 4> TMainForm::AttributeChecks() const {
  std::array<bool, 4> checks{};
  for (int i = 0; i < 4; ++i) checks[static_cast<size_t>(i)] = attribute_boxes_[i]->isChecked();
  return checks;
}

void TMainForm::SelectRow(QListView* view, LineListModel* model, int64_t row) {
  // A selected row that the filter hides is shown as no selection; it stays selected.
  const int view_row = model->ViewRowOf(row);
  if (view_row >= 0 && view_row < model->rowCount()) {
    const QModelIndex index = model->index(view_row, 0);
    if (view->selectionModel()->currentIndex() != index ||
        !view->selectionModel()->isSelected(index)) {
      view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
      view->scrollTo(index);
    }
  } else {
    view->selectionModel()->clear();
  }
}

void TMainForm::Sync() {
  syncing_ = true;
  const presenter::MainState& s = presenter_->state();
  if (s.lists_revision != lists_revision_) {
    lists_revision_ = s.lists_revision;
    log_model_->Reset();
    map_model_->Reset();
  }
  SelectRow(li_box_, log_model_, s.log_selection);
  SelectRow(file_list_box_, map_model_, s.map_selection);
  setWindowTitle(PathFromNative(s.title));
  if (s.flash != rom::FlashChoice::kNone && flash_group_->checkedId() < 0) {
    flash_group_->button(s.flash == rom::FlashChoice::k64MB ? 1 : 0)->setChecked(true);
  }
  flash_radio_->setEnabled(s.flash_enabled);
  preset_->setEnabled(s.flash_enabled);
  auto apply = [](QPushButton* b, const presenter::ControlState& c) {
    b->setEnabled(c.enabled);
    b->setVisible(c.visible);
    b->setText(QString::fromStdString(c.caption));
  };
  apply(lade_button_, s.load);
  apply(write_button_, s.write);
  apply(hex_button_, s.hex);
  apply(compress_tool_button_, s.compress_tool);
  apply(save_file_button_, s.save_file);
  apply(delete_button_, s.del);
  apply(replace_button_, s.replace);
  apply(add_button_, s.add);
  apply(entry_edit_button_, s.entry_edit);
  apply(image_save_button_, s.image_save);
  file_list_check_box_->setChecked(s.sorted_shown);
  file_box_->setVisible(s.sorted_shown);
  if (s.sorted_shown) file_box_->raise();
  fedit_group_box_->setVisible(s.edit_group_visible);
  if (s.edit_group_visible) fedit_group_box_->raise();
  delete_group_box_->setVisible(s.delete_warning_visible);
  if (s.delete_warning_visible) delete_group_box_->raise();
  const presenter::EditBoxState& box = s.edit_box;
  if (box.revision != edit_box_revision_) {
    edit_box_revision_ = box.revision;
    att_edit_->setText(QString::fromStdString(box.att_text));
    real_edit_->setText(QString::fromStdString(box.real_text));
    for (int i = 0; i < 4; ++i) attribute_boxes_[i]->setChecked(box.checks[static_cast<size_t>(i)]);
  }
  real_edit_->setEnabled(box.real_enabled);
  edit_box_->setVisible(box.visible);
  if (box.visible) edit_box_->raise();
  status_[0]->setText(QString::fromStdString(s.status_subject));
  status_[1]->setText(QString::fromStdString(s.status_detail));
  SyncRecentFiles();
  syncing_ = false;
  KeepMinimumSize();
}

// 640 x 560 at the usual font, more where a larger font or a shown group needs it. (The
// window's layout would raise an unset minimum by itself, but not one set to the design's.)
void TMainForm::KeepMinimumSize() {
  // Layouts learn of a widget just shown or hidden from posted events: without them, the
  // least size would be that of the view before (and grow with every change of view).
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  layout()->activate();
  const QSize least = QSize(640, 560).expandedTo(layout()->totalMinimumSize());
  if (least != minimumSize()) setMinimumSize(least);
}

void TMainForm::LoadAtStart(const QString& path) {
  flash_group_->button(0)->setChecked(true);
  presenter_->ChooseFlash(rom::FlashChoice::k32MB);
  presenter_->LoadPath(PathToNative(path));
  Sync();
}

namespace {
constexpr const char* kRecentFilesKey = "RecentFiles";
}  // namespace

void TMainForm::KeepRecentFilesIn(QSettings* settings) {
  settings_ = settings;
  if (!settings_) return;
  std::vector<std::string> paths;
  for (const QString& path : settings_->value(kRecentFilesKey).toStringList()) {
    paths.push_back(PathToNative(path));
  }
  presenter_->SetRecentFiles(std::move(paths));
  recent_shown_.clear();
  Sync();
}

void TMainForm::SyncRecentFiles() {
  const std::vector<std::string>& recent = presenter_->state().recent_files;
  recent_button_->setEnabled(!recent.empty());
  if (recent == recent_shown_ && !recent_button_->menu()->isEmpty()) return;
  recent_shown_ = recent;
  QMenu* menu = recent_button_->menu();
  menu->clear();
  QStringList stored;
  for (size_t i = 0; i < recent.size(); ++i) {
    const QString path = PathFromNative(recent[i]);
    stored << path;
    QString text = path;
    text.replace('&', "&&");
    QAction* action = menu->addAction(QString("&%1  %2").arg(i + 1).arg(text));
    connect(action, &QAction::triggered, this, [this, i] {
      presenter_->LoadRecent(i);
      Sync();
    });
  }
  menu->addSeparator();
  QAction* clear = menu->addAction("Liste leeren");
  clear->setEnabled(!recent.empty());
  connect(clear, &QAction::triggered, this, [this] {
    presenter_->ClearRecentFiles();
    Sync();
  });
  if (settings_ && settings_->value(kRecentFilesKey).toStringList() != stored) {
    settings_->setValue(kRecentFilesKey, stored);
    settings_->sync();
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Unsaved changes are asked about first (while a batch run goes on, once it has ended).
  if (running_batches_ == 0 && !presenter_->MayDropImage()) {
    Sync();
    event->ignore();
    return;
  }
  bool waiting = false;
  for (TCompressForm* form : findChildren<TCompressForm*>()) {
    if (form->close()) continue;
    waiting = true;  // running: it closes after the run, then this window tries again
    connect(form, &QObject::destroyed, this, &QWidget::close,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
  }
  if (waiting) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (running_batches_ == 0 && DroppedFile(event->mimeData())) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const std::optional<QString> path = DroppedFile(event->mimeData());
  if (running_batches_ != 0 || !path) return;
  event->acceptProposedAction();
  // Loaded once the drop has ended: the question about unsaved changes and a failed load's
  // message are modal, and the dragging program waits for the drop to end.
  QTimer::singleShot(0, this, [this, file = *path] {
    presenter_->LoadDropped(PathToNative(file));
    Sync();
  });
}

void TMainForm::OpenCompressForm() {
  auto* form = new TCompressForm(dialogs_, library_, this);
  form->setAttribute(Qt::WA_DeleteOnClose);
  // The main window's actions (a load, another batch window) would run inside the batch run's
  // event processing and hold it up: they are off while a run goes on.
  connect(form, &TCompressForm::RunningChanged, this, [this](bool running) {
    running_batches_ += running ? 1 : -1;
    centralWidget()->setEnabled(running_batches_ == 0);
  });
  compress_form_ = form;
  ShowBeside(form, QSize(623, 499), this);
}

void TMainForm::OpenHexPanel() {
  const auto range = presenter_->HexRange();
  Sync();
  if (!range) return;
  const std::span<const uint8_t> buffer = presenter_->image().Buffer();
  auto* panel = new THexPanel(buffer.data(), static_cast<int32_t>(buffer.size()), this);
  panel->setAttribute(Qt::WA_DeleteOnClose);
  panel->SetRange(range->first, range->last);
  panel->SetBaseAddr(range->base);
  hex_panels_.push_back(panel);
  hex_panel_ = panel;
  // Wholly on the main window's screen, as the batch window; a window manager's own choice
  // may leave the bottom panel below the screen's edge.
  ShowBeside(panel, panel->size(), this);
}

void TMainForm::CloseHexPanels() {
  for (const QPointer<THexPanel>& panel : hex_panels_) {
    if (panel) panel->close();
  }
  hex_panels_.clear();
}

}  // namespace ui
