// TMainForm: Tarnwick's main window, "Windows CE ROM Viewer".
//
// The window binds its widgets to the MainPresenter, which owns the image and decides what
// the window shows: a widget's signal calls the presenter, then Sync() copies the presenter's
// state into the widgets. Controls carry their design names as object names.
#ifndef TARNWICK_UI_MAIN_FORM_H_
#define TARNWICK_UI_MAIN_FORM_H_

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <vector>

#include "compress/compression_library.h"
#include "ui/dialogs.h"
#include "ui/presenter/main_presenter.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QSettings;
class QToolButton;
class QVBoxLayout;

namespace ui {

class LineListModel;
class THexPanel;
class TCompressForm;

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  TMainForm(Dialogs& dialogs, const codec::CompressionLibrary& library, QWidget* parent = nullptr);
  ~TMainForm() override;

  // As if the user had clicked "32 MB" and loaded `path` through the open dialog.
  void LoadAtStart(const QString& path);
  // The recent images are read from `settings` and written back there whenever they change
  // (without settings they last as long as the window).
  void KeepRecentFilesIn(QSettings* settings);

  [[nodiscard]] QString StatusText(int panel) const;
  [[nodiscard]] const rom::RomImage& image() const { return presenter_->image(); }
  [[nodiscard]] const rom::RomLists& lists() const { return presenter_->lists(); }
  [[nodiscard]] const presenter::MainPresenter& presenter() const { return *presenter_; }
  // The newest hex and batch windows (nullptr when none is open).
  [[nodiscard]] THexPanel* HexPanel() const;
  [[nodiscard]] TCompressForm* CompressForm() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // While a batch run goes on the window stays: it closes once the run has ended at its next
  // file and the batch window has gone (else the program would go on without a window).
  void closeEvent(QCloseEvent* event) override;
  // An image file dragged onto the window loads as if picked in the open dialog.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  class PromptsAdapter;

  // The control panel on the right, one group after the other.
  void BuildPanel();
  QGroupBox* BuildFlashGroup();
  QGroupBox* BuildPresetGroup();
  void BuildTopButtons(QVBoxLayout* top);
  QGroupBox* BuildEditGroup();
  QGroupBox* BuildExportGroup();
  void BuildAttributeBox();
  void FitPanelWidth();
  void BuildClientArea();
  void LayoutPanel();
  void Connect(QPushButton* button, void (presenter::MainPresenter::*action)());
  // The keyboard's ways to the panel's actions (Ctrl+O, Ctrl+S, Del, F5 and Ctrl+R).
  void BuildShortcuts();
  // Copies the presenter's state into the widgets.
  void Sync();
  void KeepMinimumSize();
  // The recent images' menu and the settings, where the list changed.
  void SyncRecentFiles();
  void SelectRow(QListView* view, LineListModel* model, int64_t row);
  void OpenHexPanel();
  void OpenCompressForm();
  void CloseHexPanels();
  [[nodiscard]] std::array<bool, 4> AttributeChecks() const;

  Dialogs& dialogs_;
  const codec::CompressionLibrary& library_;
  std::unique_ptr<PromptsAdapter> prompts_;
  std::unique_ptr<presenter::MainPresenter> presenter_;
  uint64_t lists_revision_ = ~uint64_t{0};
  uint64_t edit_box_revision_ = ~uint64_t{0};
  bool syncing_ = false;  // widgets are being set from the state, not by the person

  QWidget* panel_ = nullptr;
  QGroupBox* flash_radio_ = nullptr;
  QButtonGroup* flash_group_ = nullptr;
  QGroupBox* preset_ = nullptr;
  QRadioButton* preset_ff_ = nullptr;
  QPushButton* lade_button_ = nullptr;
  QToolButton* recent_button_ = nullptr;
  std::vector<std::string> recent_shown_;
  QSettings* settings_ = nullptr;
  QPushButton* write_button_ = nullptr;
  QCheckBox* file_list_check_box_ = nullptr;
  QPushButton* hex_button_ = nullptr;
  QPushButton* compress_tool_button_ = nullptr;
  QGroupBox* group_box1_ = nullptr;
  QPushButton* save_file_button_ = nullptr;
  QCheckBox* raw_check_box_ = nullptr;
  QGroupBox* fedit_group_box_ = nullptr;
  QPushButton* delete_button_ = nullptr;
  QPushButton* replace_button_ = nullptr;
  QPushButton* add_button_ = nullptr;
  QPushButton* entry_edit_button_ = nullptr;
  QPushButton* image_save_button_ = nullptr;
  QGroupBox* edit_box_ = nullptr;
  QCheckBox* attribute_boxes_[4] = {};
  QLineEdit* att_edit_ = nullptr;
  QLineEdit* real_edit_ = nullptr;
  QLineEdit* filter_edit_ = nullptr;
  QListView* li_box_ = nullptr;
  QGroupBox* file_box_ = nullptr;
  QListView* file_list_box_ = nullptr;
  QGroupBox* delete_group_box_ = nullptr;
  QLabel* status_[2] = {};
  LineListModel* log_model_ = nullptr;
  LineListModel* map_model_ = nullptr;

  std::vector<QPointer<THexPanel>> hex_panels_;
  QPointer<THexPanel> hex_panel_;
  QPointer<TCompressForm> compress_form_;
  int running_batches_ = 0;
};

}  // namespace ui

#endif  // TARNWICK_UI_MAIN_FORM_H_
