// The windows with Qt's real dialogs, answered with the mouse and the keyboard: the batch
// window's overwrite question while its progress box is up, the block deletion warning, a save
// over an existing file, and the icon of a failure.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>

#include "tests/image_builder/demo_image.h"
#include "tests/image_builder/rom_compressor.h"
#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"
#include "tests/ui/modal_driver.h"
#include "ui/compress_form.h"
#include "ui/dialogs.h"
#include "ui/main_form.h"

namespace {

using testimg::Bytes;
using uitest::ModalDriver;

bool GermanQtTexts() {
  return QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm");
}

// Counts how often a window of the given object name was shown.
class ShowCounter final : public QObject {
 public:
  explicit ShowCounter(const char* name) : name_(name) { qApp->installEventFilter(this); }
  ~ShowCounter() override { qApp->removeEventFilter(this); }
  int shown = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->objectName() == name_) ++shown;
    return false;
  }

 private:
  QString name_;
};

class RealDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    library_ = codec::CompressionLibrary::Bind(missing);
    ASSERT_TRUE(library_) << missing;
  }
  // A click on `widget` of a shown window, through the window system.
  static void ClickOn(QWidget* widget, QPoint at = {}) {
    ASSERT_NE(widget, nullptr);
    QApplication::processEvents();  // lays out what the last action showed
    QWidget* window = widget->window();
    ASSERT_NE(window->windowHandle(), nullptr);
    if (at.isNull()) at = widget->rect().center();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      widget->mapTo(window, at));
  }

  testimg::TempDir dir_;
  ui::QtDialogs dialogs_;
  std::unique_ptr<codec::CompressionLibrary> library_;
};

class BatchQuestionTest : public RealDialogsTest {
 protected:
  // Three files to compress, all three already in the target folder.
  void SetUp() override {
    RealDialogsTest::SetUp();
    std::filesystem::create_directories(src_);
    std::filesystem::create_directories(dst_);
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
      testimg::WriteFile((src_ / name).string(), testimg::BytesOf(std::string(3000, name[0])));
      testimg::WriteFile((dst_ / name).string(), old_);
    }
    MakeForm(dialogs_);
  }
  void MakeForm(ui::Dialogs& dialogs) {
    form_ = std::make_unique<ui::TCompressForm>(dialogs, *library_, nullptr);
    form_->SetProgressDelay(0);  // the progress box is up from the first file on
    form_->show();
    form_->SourceDirectoryEditAfterDialog(QString::fromStdString(src_.string()));
    auto* list = form_->findChild<QListWidget*>("SourceListBox");
    for (int row = 2; row < 5; ++row) {
      list->setCurrentRow(row);
      form_->ToggleMark();
    }
    form_->ZielDirectoryEditAfterDialog(QString::fromStdString(dst_.string()));
  }
  int Replaced() {
    int n = 0;
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
      n += testimg::ReadFile((dst_ / name).string()) != old_;
    return n;
  }
  // Checks that the question is up in German, with the progress box out of its way.
  void ExpectQuestion(QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr) << dialog->metaObject()->className() << " took the input";
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8("Datei überschreiben?"));
    QStringList captions;
    for (QAbstractButton* b : box->buttons()) captions << QString(b->text()).remove('&');
    captions.sort();
    EXPECT_EQ(captions, QStringList({"Abbrechen", "Ja", "Ja, alle", "Nein"}));
    const auto* progress = form_->findChild<QWidget*>("BatchProgress");
    EXPECT_TRUE(progress == nullptr || !progress->isVisible());
  }

  std::filesystem::path src_ = dir_.path() / "src";
  std::filesystem::path dst_ = dir_.path() / "dst";
  Bytes old_ = testimg::BytesOf("old");
  std::unique_ptr<ui::TCompressForm> form_;
};

TEST_F(BatchQuestionTest, QuestionOverTheProgressTakesMouseAndKeys) {
  ShowCounter progress_shown("BatchProgress");
  ModalDriver driver;
  // "Ja" with the mouse, after the question has stood long enough for any timer to fire.
  driver.Then(
      [&](QWidget* d) {
        ExpectQuestion(d);
        // Folders and marks cannot change under the run.
        EXPECT_FALSE(form_->findChild<QListWidget*>("SourceListBox")->isEnabled());
        EXPECT_FALSE(form_->findChild<QWidget*>("ZielDirectoryEdit")->isEnabled());
        ModalDriver::Click(ModalDriver::Button(d, "Ja"));
      },
      700);
  // "Ja, alle" with its key: the third file is then replaced without a question.
  driver.Then([&](QWidget* d) {
    ExpectQuestion(d);
    ModalDriver::Key(d, Qt::Key_A, Qt::AltModifier);
  });
  form_->findChild<QPushButton*>("StartButton")->click();
  EXPECT_TRUE(driver.Done());
  EXPECT_GE(progress_shown.shown, 2);  // up before the first question and again after it
  EXPECT_EQ(Replaced(), 3);
  EXPECT_EQ(form_->findChild<QLabel*>("CountLabel")->text(), "  3 Dateien (de-) komprimiert");
}

TEST_F(BatchQuestionTest, CancelledRunSaysHowFarItGot) {
  ModalDriver driver;
  driver.Then([&](QWidget* d) { ModalDriver::Key(d, Qt::Key_Return); });  // "Nein" by default
  driver.Then([&](QWidget* d) { ModalDriver::Click(ModalDriver::Button(d, "Ja")); });
  driver.Then([&](QWidget* d) { ModalDriver::Key(d, Qt::Key_Escape); });  // cancels the run
  form_->findChild<QPushButton*>("StartButton")->click();
  EXPECT_TRUE(driver.Done());
  EXPECT_EQ(Replaced(), 1);
  EXPECT_EQ(form_->findChild<QLabel*>("CountLabel")->text(),
            "  1 Dateien (de-) komprimiert\n  abgebrochen nach 2 von 3");
  // The next run starts afresh.
  form_->findChild<QCheckBox*>("OverwriteCheckBox")->click();
  form_->findChild<QPushButton*>("StartButton")->click();
  EXPECT_EQ(form_->findChild<QLabel*>("CountLabel")->text(), "  3 Dateien (de-) komprimiert");
  // The target list stays sorted: the listing's lines (two blanks), then the results of both
  // runs (one blank), b's two side by side.
  QStringList starts;
  for (const QString& line : form_->ZielLines()) starts << line.left(3);
  EXPECT_EQ(starts, QStringList({"  a", "  b", "  c", " a.", " b.", " b.", " c."}));
}

TEST_F(BatchQuestionTest, ClosingTheWindowEndsTheRunFirst) {
  form_->SetProgressDelay(60000);
  form_->findChild<QCheckBox*>("OverwriteCheckBox")->click();
  // Closed as soon as the run looks at its input, before the first file.
  QTimer::singleShot(0, form_.get(), [this] { form_->close(); });
  form_->findChild<QPushButton*>("StartButton")->click();
  EXPECT_EQ(Replaced(), 0);
  EXPECT_FALSE(form_->isVisible());  // closed once the run had ended
  EXPECT_EQ(form_->findChild<QLabel*>("CountLabel")->text(),
            "  0 Dateien (de-) komprimiert\n  abgebrochen nach 0 von 3");
}

// The real dialogs, with something done after each overwrite question has been answered.
class AfterQuestionDialogs final : public ui::Dialogs {
 public:
  std::optional<QString> OpenFile(QWidget* p, const ui::FileDialogRequest& r) override {
    return qt_.OpenFile(p, r);
  }
  std::optional<QString> SaveFile(QWidget* p, const ui::FileDialogRequest& r) override {
    return qt_.SaveFile(p, r);
  }
  std::optional<QString> ChooseFolder(QWidget* p, const QString& t, const QString& f) override {
    return qt_.ChooseFolder(p, t, f);
  }
  void Message(QWidget* p, const QString& t, const QString& c,
               presenter::Severity s) override {
    qt_.Message(p, t, c, s);
  }
  ui::OverwriteAnswer AskOverwrite(QWidget* p, const QString& path) override {
    const ui::OverwriteAnswer answer = qt_.AskOverwrite(p, path);
    if (after_question) after_question();
    return answer;
  }
  void Beep() override { qt_.Beep(); }

  std::function<void()> after_question;

 private:
  ui::QtDialogs qt_;
};

// Input that a run finds waiting changes nothing of it: a press on the (disabled) source list
// keeps the marks; a click on "Start" that comes during the last file starts no second run.
TEST_F(BatchQuestionTest, InputDuringTheRunDoesNotChangeOrRepeatIt) {
  AfterQuestionDialogs dialogs;
  MakeForm(dialogs);
  const QStringList marks = form_->SourceLines();
  auto* source = form_->findChild<QListWidget*>("SourceListBox");
  auto* start = form_->findChild<QPushButton*>("StartButton");
  int questions = 0;
  dialogs.after_question = [&] {
    if (++questions != 3) return;
    // Queued after the last question, so that nothing of the run handles it before its end;
    // a second run would replace c.txt without asking (the box is ticked now) and count 3.
    form_->findChild<QCheckBox*>("OverwriteCheckBox")->setChecked(true);
    const QPoint at = start->rect().center();
    for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QCoreApplication::postEvent(
          start, new QMouseEvent(t, QPointF(at), QPointF(start->mapToGlobal(at)), Qt::LeftButton,
                                 Qt::LeftButton, Qt::NoModifier));
    }
  };
  ModalDriver driver;
  driver.Then([&](QWidget* d) {
    const QRect row = source->visualItemRect(source->item(2));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(row.center()),
                      QPointF(source->viewport()->mapToGlobal(row.center())), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(source->viewport(), &press);
    ModalDriver::Click(ModalDriver::Button(d, "Ja"));
  });
  driver.Then([&](QWidget* d) { ModalDriver::Click(ModalDriver::Button(d, "Ja")); });
  driver.Then([&](QWidget* d) { ModalDriver::Click(ModalDriver::Button(d, "Nein")); });
  start->click();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_TRUE(driver.Done());
  EXPECT_EQ(questions, 3);
  EXPECT_EQ(form_->SourceLines(), marks);
  EXPECT_EQ(form_->findChild<QLabel*>("CountLabel")->text(), "  2 Dateien (de-) komprimiert");
  EXPECT_EQ(testimg::ReadFile((dst_ / "c.txt").string()), old_);
}

Bytes DemoBytes() {
  return testimg::DemoImage(testimg::RomCompressor(codec::PageCoding::kLzx));
}

class MainWindowDialogsTest : public RealDialogsTest {
 protected:
  void SetUp() override {
    RealDialogsTest::SetUp();
    form_ = std::make_unique<ui::TMainForm>(dialogs_, *library_);
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    image_ = dir_.File("demo.nb0");
    testimg::WriteFile(image_, DemoBytes());
  }
  template <typename T>
  T* Get(const char* name) {
    T* w = form_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // Loads the demo image, shows the sorted list and clicks the line holding `part`.
  void LoadAndClick(const char* part) {
    form_->LoadAtStart(QString::fromStdString(image_));
    ClickOn(Get<QCheckBox>("FileListCheckBox"));
    ASSERT_TRUE(Get<QCheckBox>("FileListCheckBox")->isChecked());
    ClickLine(part, true);
  }
  // The row of the first map line holding `part`, -1 when there is none.
  int MapRow(const char* part) const {
    const auto& map = form_->lists().MemoryMap;
    const auto it = std::find_if(map.begin(), map.end(), [&](const rom::MapRow& row) {
      return row.text.find(part) != std::string::npos;
    });
    return it == map.end() ? -1 : static_cast<int>(it - map.begin());
  }
  // Clicks the map line holding `part` where it shows (scrolled into view first, if asked).
  void ClickLine(const char* part, bool scroll) {
    const int row = MapRow(part);
    ASSERT_GE(row, 0) << part;
    auto* view = Get<QListView>("FileListBox");
    const QModelIndex index = view->model()->index(row, 0);
    if (scroll) view->scrollTo(index);
    QApplication::processEvents();
    // The rows are wider than the view: click near the start of the line, where it shows.
    const QPoint at(40, view->visualRect(index).center().y());
    ASSERT_TRUE(view->viewport()->rect().contains(at)) << part;
    ClickOn(view->viewport(), at);
    ASSERT_EQ(form_->presenter().state().map_selection, row) << part;
  }

  std::unique_ptr<ui::TMainForm> form_;
  std::string image_;
};

TEST_F(MainWindowDialogsTest, BlockDeletionWarningIsAnsweredByClicks) {
  LoadAndClick("00002490 .. 000024A3 -!-");
  const auto length = form_->image().ImageLength();
  auto* del = Get<QPushButton>("DeleteButton");
  EXPECT_EQ(del->text(), QString::fromUtf8("Block löschen"));
  ClickOn(del);
  ASSERT_TRUE(Get<QWidget>("DeleteGroupBox")->isVisible());
  ClickOn(Get<QPushButton>("ExitButton"));
  EXPECT_FALSE(Get<QWidget>("DeleteGroupBox")->isVisible());
  EXPECT_EQ(form_->image().ImageLength(), length);
  ClickOn(del);
  ClickOn(Get<QPushButton>("Ja_Loeschen_Button"));
  EXPECT_FALSE(Get<QWidget>("DeleteGroupBox")->isVisible());
  EXPECT_EQ(form_->image().ImageLength(), length - 0x14);
  EXPECT_TRUE(form_->StatusText(2).startsWith("Delta= 14 "));
  // Nothing is selected now: the file buttons are off, the caption back to a file's.
  EXPECT_FALSE(del->isEnabled());
  EXPECT_EQ(del->text(), QString::fromUtf8("Datei löschen"));
  EXPECT_FALSE(Get<QPushButton>("ReplaceButton")->isEnabled());
  EXPECT_FALSE(Get<QPushButton>("SaveFileButton")->isEnabled());
}

// The selection scrolled out of view, a click on a line that shows selects that line: the list
// must not jump back to the old selection under the pointer.
TEST_F(MainWindowDialogsTest, AClickSelectsTheLineUnderThePointerAfterScrolling) {
  LoadAndClick("F[C-RS]     148  tz.dat");
  auto* view = Get<QListView>("FileListBox");
  view->scrollToTop();
  QApplication::processEvents();
  const QModelIndex old = view->model()->index(MapRow("F[C-RS]     148  tz.dat"), 0);
  ASSERT_FALSE(view->viewport()->rect().intersects(view->visualRect(old)));
  ClickLine("F[-HRS]      92  boot.ini", false);
  const int row = MapRow("F[-HRS]      92  boot.ini");
  ASSERT_EQ(view->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(view->selectionModel()->selectedRows().front().row(), row);
  EXPECT_TRUE(form_->StatusText(2).contains("boot.ini"));
  // A fixed block follows boot.ini: it cannot be deleted.
  EXPECT_FALSE(Get<QPushButton>("DeleteButton")->isEnabled());
}

TEST_F(MainWindowDialogsTest, SaveOverAnExistingFileAsksInGerman) {
  LoadAndClick("readme.txt");
  const std::string target = dir_.File("saved.nb0");
  testimg::WriteFile(target, testimg::BytesOf("an older image"));
  ModalDriver driver;
  driver.Then([&](QWidget* d) {
    auto* files = qobject_cast<QFileDialog*>(d);
    ASSERT_NE(files, nullptr) << d->metaObject()->className();
    auto* name = files->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    // Typed as a whole (typing key by key would open the name completer's list first).
    name->setFocus();
    name->setText(QString::fromStdString(target));
    ModalDriver::Key(d, Qt::Key_Return);
  });
  // Qt's own question before replacing the file.
  driver.Then([&](QWidget* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    ASSERT_NE(box, nullptr) << d->metaObject()->className();
    if (GermanQtTexts()) {
      EXPECT_TRUE(box->text().contains("existiert bereits")) << box->text().toStdString();
      ModalDriver::Click(ModalDriver::Button(d, "Ja"));
    } else {
      ModalDriver::Click(ModalDriver::Button(d, "Yes"));
    }
  });
  ClickOn(Get<QPushButton>("ImageSaveButton"));
  EXPECT_TRUE(driver.Done());
  const rom::RomImage& image = form_->image();
  EXPECT_EQ(testimg::ReadFile(target),
            Bytes(image.Buffer().data(), image.Buffer().data() + image.ImageLength()));
}

// Closing the main window during a batch run: the window waits for the run to end at its next
// file and then closes (else the program would go on without any window); its actions are off
// while the run goes on.
TEST_F(MainWindowDialogsTest, ClosingDuringABatchRunWaitsForTheRun) {
  const std::filesystem::path src = dir_.path() / "src", dst = dir_.path() / "dst";
  std::filesystem::create_directories(src);
  std::filesystem::create_directories(dst);
  for (const char* name : {"a.txt", "b.txt"}) {
    testimg::WriteFile((src / name).string(), testimg::BytesOf(std::string(3000, name[0])));
  }
  ClickOn(Get<QPushButton>("CompressToolButton"));
  QPointer<ui::TCompressForm> batch = form_->CompressForm();
  ASSERT_NE(batch, nullptr);
  batch->SetProgressDelay(60000);
  batch->SourceDirectoryEditAfterDialog(QString::fromStdString(src.string()));
  auto* list = batch->findChild<QListWidget*>("SourceListBox");
  for (int row = 2; row < 4; ++row) {
    list->setCurrentRow(row);
    batch->ToggleMark();
  }
  batch->ZielDirectoryEditAfterDialog(QString::fromStdString(dst.string()));
  bool shown_during_run = false, actions_off = false;
  QTimer::singleShot(0, form_.get(), [&] {
    actions_off = !Get<QPushButton>("LadeButton")->isEnabled() &&
                  !Get<QPushButton>("CompressToolButton")->isEnabled();
    form_->close();
    shown_during_run = form_->isVisible();
  });
  batch->findChild<QPushButton*>("StartButton")->click();
  EXPECT_TRUE(actions_off);
  EXPECT_TRUE(shown_during_run);
  EXPECT_FALSE(std::filesystem::exists(dst / "a.txt"));  // ended before its first file
  for (int i = 0; i < 3 && (batch || form_->isVisible()); ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
  }
  EXPECT_TRUE(batch.isNull());
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(MainWindowDialogsTest, FailuresShowTheCriticalIcon) {
  ModalDriver driver;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  driver.Then([&](QWidget* d) {
    auto* box = qobject_cast<QMessageBox*>(d);
    ASSERT_NE(box, nullptr);
    icon = box->icon();
    ModalDriver::Key(d, Qt::Key_Return);
  });
  form_->LoadAtStart(QString::fromStdString(dir_.path().string()));  // a folder
  EXPECT_TRUE(driver.Done());
  EXPECT_EQ(icon, QMessageBox::Critical);
}

}  // namespace
