// TCompressForm: compresses or decompresses files on the PC in one batch.
//
// The user picks a source folder and marks files in its listing, picks a target folder,
// chooses one of five operations and presses "Start". The window binds its widgets to the
// BatchPresenter (ui/presenter/batch_presenter.h), which holds the lists and decides.
#ifndef TARNWICK_UI_COMPRESS_FORM_H_
#define TARNWICK_UI_COMPRESS_FORM_H_

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "compress/compression_library.h"
#include "ui/dialogs.h"
#include "ui/presenter/batch_presenter.h"

class QButtonGroup;
class QCloseEvent;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSplitter;
class QToolButton;

namespace ui {

class FixedRowDelegate;

class TCompressForm final : public QWidget {
  Q_OBJECT

 public:
  TCompressForm(Dialogs& dialogs, const codec::CompressionLibrary& library, QWidget* parent);
  ~TCompressForm() override;

  // After the folder dialogs: list the folder (the source with its folders, the target without).
  void SourceDirectoryEditAfterDialog(const QString& folder);
  void ZielDirectoryEditAfterDialog(const QString& folder);
  // Marks or unmarks the selected source line.
  void ToggleMark();

  [[nodiscard]] QStringList SourceLines() const;
  [[nodiscard]] QStringList ZielLines() const;

  // How long a run goes before its progress box appears (500 ms); tests shorten it.
  void SetProgressDelay(int ms) { progress_delay_ms_ = ms; }

 public slots:
  void StartButtonClick();

 signals:
  // A run starts (true) or has ended (false): the main window takes no actions meanwhile.
  void RunningChanged(bool running);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // While a run goes on, closing the window cancels the run instead.
  void closeEvent(QCloseEvent* event) override;

 private:
  class PromptsAdapter;

  // The two folders with their lists, side by side.
  QSplitter* BuildLists();
  QGroupBox* BuildListSide(QSplitter* splitter, const char* group_name, const QString& caption,
                           const char* edit_name, const char* list_name, QLineEdit*& edit,
                           QListWidget*& list, FixedRowDelegate*& rows,
                           void (TCompressForm::*choose)());
  // The strip along the bottom: the operations, the count, the overwrite choice and "Start".
  QWidget* BuildBottomPanel();
  void ChooseSource();
  void ChooseZiel();
  // The folders typed into the fields, listed where they differ from the lists; false when one
  // names no folder.
  bool TakeTypedFolders();
  // Both lists read anew from disk (the refresh button and F5).
  void RefreshLists();
  void ShowSourceLines();
  void ShowZielLines();
  // A row the run added to the target list, shown at once.
  void AddZielLine(const presenter::BatchRow& row);
  void AddZielItem(const presenter::BatchRow& row);
  // The controls that must keep what they hold while a run goes on.
  void FreezeControls(bool frozen);
  [[nodiscard]] bool Running() const { return presenter_->state().running; }

  Dialogs& dialogs_;
  std::unique_ptr<PromptsAdapter> prompts_;
  std::unique_ptr<presenter::BatchPresenter> presenter_;
  int progress_delay_ms_ = 500;
  bool close_requested_ = false;  // the window was closed during a run
  QLineEdit* source_edit_ = nullptr;
  QLineEdit* ziel_edit_ = nullptr;
  QListWidget* source_list_ = nullptr;
  QListWidget* ziel_list_ = nullptr;
  QButtonGroup* operation_ = nullptr;
  QLabel* count_label_ = nullptr;
  QCheckBox* overwrite_ = nullptr;
  QPushButton* start_button_ = nullptr;
  QToolButton* refresh_button_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QGroupBox* operation_box_ = nullptr;
  FixedRowDelegate* source_rows_ = nullptr;
  FixedRowDelegate* ziel_rows_ = nullptr;
};

}  // namespace ui

#endif  // TARNWICK_UI_COMPRESS_FORM_H_
