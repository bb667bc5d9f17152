// TMainForm: Tarnwick's main window, "Windows CE ROM Viewer".
//
// It owns the one RomImage and its two lists, shows the analysis log and the sorted memory
// map, and turns clicks into calls of the core's actions (rom/), whose outcomes it shows:
// status panels, beeps, message boxes. Controls carry their design names as object names.
#ifndef TARNWICK_UI_MAIN_FORM_H_
#define TARNWICK_UI_MAIN_FORM_H_

#include <QMainWindow>
#include <QPointer>
#include <vector>

#include "compress/compression_library.h"
#include "rom/action_outcome.h"
#include "rom/analysis.h"
#include "rom/entry_edit.h"
#include "rom/rom_image.h"
#include "ui/dialogs.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;

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

  [[nodiscard]] QString StatusText(int panel) const;
  [[nodiscard]] const rom::RomImage& image() const { return image_; }
  [[nodiscard]] const rom::RomLists& lists() const { return lists_; }
  // The newest hex and batch windows (nullptr when none is open).
  [[nodiscard]] THexPanel* HexPanel() const;
  [[nodiscard]] TCompressForm* CompressForm() const;

 public slots:
  void FlashRadioClick();
  void LadeButtonClick();
  void LiBoxClick();
  void FileListBoxClick();
  void FileListCheckBoxClick();
  void WriteButtonClick();
  void CompressToolButtonClick();
  void HexButtonClick();
  void SaveFileButtonClick();
  void DeleteButtonClick();
  void Ja_Loeschen_ButtonClick();
  void ExitButtonClick();
  void AddButtonClick();
  void ReplaceButtonClick();
  void EntryEditButtonClick();
  void CheckBoxClick();
  void EDOKButtonClick();
  void EDEXButtonClick();
  void ImageSaveButtonClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPanel();
  void BuildClientArea();
  void LayoutPanel();
  void Present(const rom::ActionOutcome& outcome);
  void ListsChanged();
  void SelectMapRow(int64_t row);
  void CloseHexPanels();
  [[nodiscard]] int64_t SelectedRow(const QListView* view) const;
  [[nodiscard]] uint8_t PresetByte() const;
  [[nodiscard]] bool SortedShown() const;
  void SetStatus(int panel, const QString& text);
  void Load(const QString& path);

  Dialogs& dialogs_;
  const codec::CompressionLibrary& library_;
  rom::RomImage image_;
  rom::RomLists lists_;
  rom::EditState edit_state_;
  QString open_folder_;
  bool selecting_ = false;  // a programmatic selection, not a user's click

  QWidget* panel_ = nullptr;
  QGroupBox* flash_radio_ = nullptr;
  QButtonGroup* flash_group_ = nullptr;
  QGroupBox* preset_ = nullptr;
  QRadioButton* preset_ff_ = nullptr;
  QPushButton* lade_button_ = nullptr;
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
};

}  // namespace ui

#endif  // TARNWICK_UI_MAIN_FORM_H_
