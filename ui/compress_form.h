// TCompressForm: compresses or decompresses files on the PC in one batch.
//
// The user picks a source folder and marks files in its listing, picks a target folder,
// chooses one of five operations and presses "Start". The logic lives in compress/batch.h.
#ifndef TARNWICK_UI_COMPRESS_FORM_H_
#define TARNWICK_UI_COMPRESS_FORM_H_

#include <QWidget>
#include <string>
#include <vector>

#include "compress/compression_library.h"
#include "ui/dialogs.h"

class QButtonGroup;
class QCloseEvent;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace ui {

class FixedRowDelegate;

class TCompressForm final : public QWidget {
  Q_OBJECT

 public:
  TCompressForm(Dialogs& dialogs, const codec::CompressionLibrary& library, QWidget* parent);

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
  void ChooseSource();
  void ChooseZiel();
  void ShowZielLines();

  Dialogs& dialogs_;
  const codec::CompressionLibrary& library_;
  std::string source_dir_;  // SourceDir
  std::string ziel_dir_;    // ZielDir
  std::vector<std::string> source_lines_;
  std::vector<std::string> ziel_lines_;
  int progress_delay_ms_ = 500;
  bool running_ = false;
  bool close_requested_ = false;  // the window was closed during a run
  QLineEdit* source_edit_ = nullptr;
  QLineEdit* ziel_edit_ = nullptr;
  QListWidget* source_list_ = nullptr;
  QListWidget* ziel_list_ = nullptr;
  QButtonGroup* operation_ = nullptr;
  QLabel* count_label_ = nullptr;
  QCheckBox* overwrite_ = nullptr;
  QPushButton* start_button_ = nullptr;
  FixedRowDelegate* source_rows_ = nullptr;
  FixedRowDelegate* ziel_rows_ = nullptr;
};

}  // namespace ui

#endif  // TARNWICK_UI_COMPRESS_FORM_H_
