// Headless tests of the main window: loading, both lists, button states and every editing
// action end to end through the window's controls, with scripted dialogs.
#include "ui/main_form.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QMenu>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <QToolButton>

#include "rom/rom_header.h"
#include "tests/image_builder/demo_image.h"
#include "tests/image_builder/rom_compressor.h"
#include "tests/rom/test_files.h"
#include "tests/ui/form_fixture.h"
#include "ui/qt_text.h"

namespace {

using testimg::Bytes;

Bytes DemoBytes() { return testimg::DemoImage(testimg::RomCompressor(codec::PageCoding::kLzx)); }

class MainFormTest : public uitest::FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    image_path_ = dir_.File("demo.nb0");
    testimg::WriteFile(image_path_, DemoBytes());
  }

  QPushButton* Button(const char* name) { return Get<QPushButton>(name); }

  // "32 MB", then "Lade  *.NB0" with the open dialog answered.
  void LoadDemo() {
    Get<QRadioButton>("Flash32")->click();
    dialogs_.files.push_back(QString::fromStdString(image_path_));
    Button("LadeButton")->click();
  }
  void ShowSorted() { Get<QCheckBox>("FileListCheckBox")->click(); }

  // Index of the first memory-map line that holds all of `parts`; -1 when none does.
  int MapRow(std::initializer_list<const char*> parts) const {
    const std::vector<rom::MapRow>& map = form_->lists().MemoryMap;
    for (size_t i = 0; i < map.size(); ++i) {
      bool all = true;
      for (const char* p : parts) all = all && map[i].text.find(p) != std::string::npos;
      if (all) return static_cast<int>(i);
    }
    return -1;
  }
  void ClickLogRow(int row) {
    auto* view = Get<QListView>("LiBox");
    view->selectionModel()->setCurrentIndex(view->model()->index(row, 0),
                                            QItemSelectionModel::ClearAndSelect);
  }
  Bytes ImageBytes() const {
    const rom::RomImage& image = form_->image();
    return Bytes(image.Buffer().data(), image.Buffer().data() + image.ImageLength());
  }

  std::string image_path_;
};

TEST_F(MainFormTest, StartsWithLoadingDisabledUntilAFlashSizeIsChosen) {
  EXPECT_EQ(form_->windowTitle(), "Windows CE ROM Viewer");
  EXPECT_GE(form_->minimumWidth(), 640);
  EXPECT_GE(form_->minimumHeight(), 560);
  EXPECT_FALSE(Button("LadeButton")->isEnabled());
  EXPECT_FALSE(Button("SaveFileButton")->isEnabled());
  EXPECT_TRUE(Get<QGroupBox>("FeditGroupBox")->isHidden());
  EXPECT_TRUE(Button("HexButton")->isHidden());
  EXPECT_TRUE(Get<QGroupBox>("EditBox")->isHidden());
  EXPECT_TRUE(Get<QGroupBox>("FileBox")->isHidden());
  EXPECT_EQ(Button("LadeButton")->text(), "Lade  *.NB0");
  Get<QRadioButton>("Flash64")->click();
  EXPECT_TRUE(Button("LadeButton")->isEnabled());
}

TEST_F(MainFormTest, LoadShowsTheLogAndFreezesTheChoices) {
  LoadDemo();
  QAbstractItemModelTester log_tester(Get<QListView>("LiBox")->model());
  QAbstractItemModelTester map_tester(Get<QListView>("FileListBox")->model());
  EXPECT_EQ(form_->StatusText(1), "max. FlashSize: 33554432 ( 32 MB )");
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(image_path_));
  auto* log = Get<QListView>("LiBox")->model();
  ASSERT_EQ(log->rowCount(), static_cast<int>(form_->lists().AnalysisLog.size()));
  EXPECT_EQ(log->index(0, 0).data().toString(), QString::fromStdString("; File: " + image_path_));
  // Names keep their Windows-1252 characters.
  bool found = false;
  for (int i = 0; i < log->rowCount(); ++i) {
    found = found || log->index(i, 0).data().toString().contains(QString::fromUtf8("Grüße.txt"));
  }
  EXPECT_TRUE(found);
  EXPECT_FALSE(Get<QGroupBox>("FlashRadio")->isEnabled());
  EXPECT_FALSE(Get<QGroupBox>("Preset")->isEnabled());

  // A log line of a module enables export; a header line disables it again.
  ClickLogRow(29);
  EXPECT_TRUE(Button("SaveFileButton")->isEnabled());
  EXPECT_TRUE(form_->StatusText(2).startsWith("M["));
  ClickLogRow(5);
  EXPECT_FALSE(Button("SaveFileButton")->isEnabled());
  EXPECT_EQ(form_->StatusText(2), "");

  // A file that cannot be loaded: the message box names it and the log stays empty.
  dialogs_.files.push_back(dir_.path().string().c_str() + QString("/missing.nb0"));
  Button("LadeButton")->click();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_TRUE(dialogs_.messages[0].first.contains("missing.nb0"));
  EXPECT_EQ(log->rowCount(), 0);
}

// The recent images outlive the window: a second window with the same settings offers the
// image loaded in the first, and loads it from its menu.
TEST_F(MainFormTest, RecentImagesAreKeptBetweenRunsAndLoadFromTheMenu) {
  QSettings settings(QString::fromStdString(dir_.File("settings.ini")), QSettings::IniFormat);
  form_->KeepRecentFilesIn(&settings);
  EXPECT_FALSE(Get<QToolButton>("RecentButton")->isEnabled());
  LoadDemo();
  EXPECT_EQ(settings.value("RecentFiles").toStringList(),
            QStringList{QString::fromStdString(image_path_)});

  form_ = std::make_unique<ui::TMainForm>(dialogs_, *library_);
  QSettings again(QString::fromStdString(dir_.File("settings.ini")), QSettings::IniFormat);
  form_->KeepRecentFilesIn(&again);
  auto* recent = Get<QToolButton>("RecentButton");
  ASSERT_TRUE(recent->isEnabled());
  const QList<QAction*> actions = recent->menu()->actions();
  ASSERT_EQ(actions.size(), 3);  // the image, a separator, "Liste leeren"
  EXPECT_EQ(actions[0]->text(), "&1  " + QString::fromStdString(image_path_));
  actions[0]->trigger();  // no flash size chosen yet: 32 MB, as for a dropped file
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(image_path_));
  EXPECT_EQ(form_->StatusText(1), "max. FlashSize: 33554432 ( 32 MB )");
  recent->menu()->actions().back()->trigger();
  EXPECT_FALSE(recent->isEnabled());
  EXPECT_TRUE(again.value("RecentFiles").toStringList().isEmpty());
}

TEST_F(MainFormTest, SortedListAndButtonStatesOfEveryKindOfLine) {
  LoadDemo();
  ShowSorted();
  EXPECT_TRUE(Get<QGroupBox>("FileBox")->isVisible() || !form_->isVisible());
  EXPECT_FALSE(Get<QGroupBox>("FileBox")->isHidden());
  EXPECT_EQ(Button("WriteButton")->text(), "Liste speichern");
  EXPECT_FALSE(Button("HexButton")->isHidden());
  EXPECT_FALSE(Get<QGroupBox>("FeditGroupBox")->isHidden());

  // A file with a fixed block behind it: export and replace, not delete.
  ClickMapRow(MapRow({"F[", "boot.ini"}));
  EXPECT_TRUE(Button("SaveFileButton")->isEnabled());
  EXPECT_TRUE(Button("ReplaceButton")->isEnabled());
  EXPECT_FALSE(Button("DeleteButton")->isEnabled());
  EXPECT_TRUE(form_->StatusText(2).startsWith("0000200C .. "));
  // A fixed block: "Block löschen".
  ClickMapRow(MapRow({"-!-", "00002490"}));
  EXPECT_TRUE(Button("DeleteButton")->isEnabled());
  EXPECT_EQ(Button("DeleteButton")->text(), QString::fromUtf8("Block löschen"));
  EXPECT_FALSE(Button("ReplaceButton")->isEnabled());
  // The last file: "Datei löschen" again.
  ClickMapRow(MapRow({"F[", "tz.dat"}));
  EXPECT_TRUE(Button("DeleteButton")->isEnabled());
  EXPECT_EQ(Button("DeleteButton")->text(), QString::fromUtf8("Datei löschen"));
  // Name, header and tail lines enable nothing.
  for (const char* kind : {"namestr", "ROM Header", "unallocated"}) {
    ClickMapRow(MapRow({kind}));
    EXPECT_FALSE(Button("SaveFileButton")->isEnabled()) << kind;
    EXPECT_FALSE(Button("ReplaceButton")->isEnabled()) << kind;
    EXPECT_FALSE(Button("DeleteButton")->isEnabled()) << kind;
  }
  // Switching the view disables replace and delete whatever is selected.
  ClickMapRow(MapRow({"F[", "tz.dat"}));
  ShowSorted();
  EXPECT_FALSE(Button("DeleteButton")->isEnabled());
  EXPECT_FALSE(Button("ReplaceButton")->isEnabled());
  EXPECT_EQ(Button("WriteButton")->text(), "Log speichern");
  EXPECT_TRUE(Get<QGroupBox>("FeditGroupBox")->isHidden());
}

TEST_F(MainFormTest, ExportsDecompressedAndRaw) {
  LoadDemo();
  ShowSorted();
  ClickMapRow(MapRow({"F[", "readme.txt"}));
  const QString out = QString::fromStdString(dir_.File("readme.out"));
  dialogs_.files.push_back(out);
  Button("SaveFileButton")->click();
  ASSERT_FALSE(dialogs_.requests.empty());
  EXPECT_EQ(dialogs_.requests.back().title, "save Item \"readme.txt\" to File");
  EXPECT_EQ(form_->StatusText(2), "File readme.txt decompressed & written");
  EXPECT_EQ(form_->StatusText(1), "");
  const Bytes text = testimg::ReadFile(out.toStdString());
  EXPECT_EQ(text.size(), 1830u);
  EXPECT_EQ(std::string(text.begin(), text.begin() + 40),
            "This image was made by the demo builder.");

  Get<QCheckBox>("RawCheckBox")->click();
  dialogs_.files.push_back(out);
  Button("SaveFileButton")->click();
  EXPECT_EQ(testimg::ReadFile(out.toStdString()).size(), 168u);
}

TEST_F(MainFormTest, DeletesABlockAfterTheWarningAndAFile) {
  LoadDemo();
  ShowSorted();
  const auto length = form_->image().ImageLength();
  ClickMapRow(MapRow({"-!-", "00002490"}));
  Button("DeleteButton")->click();
  EXPECT_FALSE(Get<QGroupBox>("DeleteGroupBox")->isHidden());
  EXPECT_EQ(form_->image().ImageLength(), length);
  Button("ExitButton")->click();
  EXPECT_TRUE(Get<QGroupBox>("DeleteGroupBox")->isHidden());
  Button("DeleteButton")->click();
  Button("Ja_Loeschen_Button")->click();
  EXPECT_TRUE(Get<QGroupBox>("DeleteGroupBox")->isHidden());
  // 0x2490 .. 0x24A3 rounds from its last byte: AlignUp4(0x24A3) - 0x2490 = 0x14. (The
  // addresses follow from the sizes of the demo image's compressed files.)
  EXPECT_EQ(form_->StatusText(2),
            QString::fromUtf8("Delta= 14 geänderte Direntries= 13 Base= 88000000"));
  EXPECT_EQ(form_->image().ImageLength(), length - 0x14);

  // An addition after it: still nothing is selected, and the deletion's result is gone.
  const std::string added = dir_.File("after.bin");
  testimg::WriteFile(added, testimg::BytesOf("after"));
  dialogs_.files.push_back(QString::fromStdString(added));
  Button("AddButton")->click();
  ASSERT_GE(MapRow({"F[", "after.bin"}), 0);
  EXPECT_EQ(form_->StatusText(2), "");
  EXPECT_FALSE(Button("DeleteButton")->isEnabled());

  ClickMapRow(MapRow({"F[", "tz.dat"}));
  Button("DeleteButton")->click();
  EXPECT_EQ(form_->StatusText(2),
            QString::fromUtf8("Delta= 9C geänderte Direntries= 4 Base= 88000000"));
  EXPECT_EQ(MapRow({"tz.dat"}), -1);
  // Nothing is selected after a deletion; the button then does nothing.
  EXPECT_FALSE(Get<QListView>("FileListBox")->selectionModel()->hasSelection());
  const Bytes before = ImageBytes();
  Button("DeleteButton")->click();
  EXPECT_EQ(ImageBytes(), before);
}

TEST_F(MainFormTest, AddsEditsAndSavesTheImage) {
  LoadDemo();
  ShowSorted();
  const std::string added = dir_.File("new.bin");
  testimg::WriteFile(added, testimg::BytesOf("fresh content"));
  dialogs_.files.push_back(QString::fromStdString(added));
  Button("AddButton")->click();
  EXPECT_EQ(dialogs_.requests.back().title, QString::fromUtf8("Datei zum Einfügen aussuchen"));
  const int row = MapRow({"F[", "new.bin"});
  ASSERT_GE(row, 0);

  // Entry edit: the box shows the entry, a check box rewrites the word, OK writes it.
  ClickMapRow(row);
  Button("EntryEditButton")->click();
  ASSERT_FALSE(Get<QGroupBox>("EditBox")->isHidden());
  EXPECT_EQ(Get<QLineEdit>("AttEdit")->text(), "$00000001");
  EXPECT_EQ(Get<QLineEdit>("RealEdit")->text(), "13");
  EXPECT_EQ(form_->StatusText(1), "edit new.bin");
  Get<QLineEdit>("AttEdit")->setText("40");
  Get<QCheckBox>("C_CheckBox")->click();
  EXPECT_EQ(Get<QLineEdit>("AttEdit")->text(), "$00000841");
  Get<QLineEdit>("RealEdit")->setText("x");
  const int beeps = dialogs_.beeps;
  Button("EDOKButton")->click();
  EXPECT_EQ(dialogs_.beeps, beeps + 1);
  EXPECT_FALSE(Get<QGroupBox>("EditBox")->isHidden());
  EXPECT_EQ(form_->StatusText(2),
            QString::fromUtf8("RealSize \"x\" ist keine Zahl von 0 bis 4294967295; der Eintrag "
                              "bleibt unverändert"));
  EXPECT_EQ(Get<QLineEdit>("RealEdit")->text(), "x");  // the person's text stays
  Get<QLineEdit>("RealEdit")->setText("99");
  Button("EDOKButton")->click();
  EXPECT_TRUE(Get<QGroupBox>("EditBox")->isHidden());
  const int edited = MapRow({"F[C-R-] +040", "new.bin"});
  EXPECT_EQ(edited, row);  // the selection stays on the edited line
  // Panel 2 shows the line as the edit left it, panel 1 no longer the edit's subject.
  EXPECT_EQ(form_->StatusText(2),
            ui::FromCp1252(form_->lists().MemoryMap[static_cast<size_t>(edited)].text));
  EXPECT_EQ(form_->StatusText(1), "");
  EXPECT_EQ(Get<QListView>("FileListBox")->selectionModel()->selectedRows().front().row(), row);

  const QString saved = QString::fromStdString(dir_.File("saved.nb0"));
  dialogs_.files.push_back(saved);
  Button("ImageSaveButton")->click();
  EXPECT_EQ(dialogs_.requests.back().default_suffix, "nb0");
  EXPECT_EQ(testimg::ReadFile(saved.toStdString()), ImageBytes());

  // Saving the sorted list writes the memory map as bytes with CR LF.
  const QString list = QString::fromStdString(dir_.File("map.txt"));
  dialogs_.files.push_back(list);
  Button("WriteButton")->click();
  EXPECT_EQ(dialogs_.requests.back().title, "Sortierte Dateiliste speichern");
  std::string expected;
  for (const rom::MapRow& line : form_->lists().MemoryMap) expected += line.text + "\r\n";
  const Bytes written = testimg::ReadFile(list.toStdString());
  EXPECT_EQ(std::string(written.begin(), written.end()), expected);
}

TEST_F(MainFormTest, AddingOrSavingWithoutAnImageSaysSoAndAsksNothing) {
  ShowSorted();
  Button("AddButton")->click();
  Button("ImageSaveButton")->click();
  EXPECT_TRUE(dialogs_.requests.empty());
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[0].first, "Es ist kein Image geladen.");
  EXPECT_EQ(dialogs_.severities[0], presenter::Severity::kWarning);
}

TEST_F(MainFormTest, AttributeBoxClosesWhenTheImageChanges) {
  LoadDemo();
  ShowSorted();
  ClickMapRow(MapRow({"F[", "tz.dat"}));
  Button("EntryEditButton")->click();
  ASSERT_FALSE(Get<QGroupBox>("EditBox")->isHidden());
  Button("DeleteButton")->click();
  EXPECT_TRUE(Get<QGroupBox>("EditBox")->isHidden());
}

// x: 10 bytes at 0x2000 with room 12, y at 0x200C, then a fixed block; header at 0x2800.
Bytes FixedBlockImage() {
  testimg::ImageBuilder b(0x2900);
  b.HeaderOffset(0x2800);
  b.AddFile(
      {.name = "x", .name_offset = 0x1F00, .data = testimg::Pattern(10, 1), .data_offset = 0x2000});
  b.AddFile(
      {.name = "y", .name_offset = 0x1F04, .data = testimg::Pattern(16, 2), .data_offset = 0x200C});
  b.AddFile(
      {.name = "z", .name_offset = 0x1F08, .data = testimg::Pattern(4, 3), .data_offset = 0x2030});
  return b.Build();
}

TEST_F(MainFormTest, ReplacesInFrontOfAFixedBlock) {
  testimg::WriteFile(image_path_, FixedBlockImage());
  LoadDemo();
  ShowSorted();
  auto replace_with = [&](size_t size) {
    const std::string path = dir_.File("r" + std::to_string(size));
    testimg::WriteFile(path, testimg::Pattern(size, 9));
    ClickMapRow(MapRow({"00002000 .. ", "F["}));
    dialogs_.files.push_back(QString::fromStdString(path));
    Button("ReplaceButton")->click();
  };
  replace_with(13);  // does not fit the room of 12
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].second, "Das geht nicht");
  replace_with(12);  // fits exactly: no box
  EXPECT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(form_->StatusText(2),
            QString::fromUtf8("Datei ungepackt gespeichert: 12 Bytes (am alten Platz: ein fixer "
                              "Block liegt dahinter)"));
  replace_with(4);  // leaves a rest filled with the preset byte
  ASSERT_EQ(dialogs_.messages.size(), 2u);
  EXPECT_EQ(dialogs_.messages[1].second, QString::fromUtf8("Das gibt eine Lücke"));
  Bytes expected = testimg::Pattern(4, 9);
  expected.resize(12, 0x00);
  const Bytes image = ImageBytes();
  EXPECT_EQ(Bytes(image.begin() + 0x2000, image.begin() + 0x200C), expected);
  EXPECT_EQ(Bytes(image.begin() + 0x200C, image.begin() + 0x201C), testimg::Pattern(16, 2));
}

// tz.dat, compressed, with nothing fixed behind it: put back with "roh" unticked its content is
// compressed again; ticked, the bytes go in as they are. Mouse clicks on the window's controls.
TEST_F(MainFormTest, ReplacesACompressedFileCompressedOrRaw) {
  LoadDemo();
  ShowSorted();
  form_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  const int row = MapRow({"F[C", "tz.dat"});
  ASSERT_GE(row, 0);
  const uint32_t start = form_->lists().MemoryMap[static_cast<size_t>(row)].first;
  const std::string changed = dir_.File("tz.dat");
  testimg::WriteFile(changed, testimg::BytesOf(std::string(900, 'z')));
  auto entry = [&] {
    const int32_t i = rom::FindFileByOffset(form_->image(), start);
    EXPECT_GE(i, 0);
    return *rom::FileEntry(form_->image(), static_cast<uint32_t>(std::max(i, 0)));
  };
  const uint32_t attributes = entry().Get(rom::filesentry::dwFileAttributes);
  auto replace = [&] {
    ClickMapRow(row);
    ASSERT_TRUE(Button("ReplaceButton")->isEnabled());
    dialogs_.files.push_back(QString::fromStdString(changed));
    QTest::mouseClick(Button("ReplaceButton"), Qt::LeftButton);
  };

  replace();
  const uint32_t stored = entry().Get(rom::filesentry::nCompFileSize);
  EXPECT_EQ(form_->StatusText(2), QString::fromStdString("Datei als LZX gepackt gespeichert: 900 "
                                                         "Bytes, im Image " +
                                                         std::to_string(stored) + " Bytes"));
  EXPECT_LT(stored, 900u);
  EXPECT_EQ(entry().Get(rom::filesentry::nRealFileSize), 900u);
  EXPECT_EQ(entry().Get(rom::filesentry::dwFileAttributes), attributes);
  // The decompressed export gives the new bytes.
  const QString out = QString::fromStdString(dir_.File("tz.out"));
  ClickMapRow(row);
  dialogs_.files.push_back(out);
  QTest::mouseClick(Button("SaveFileButton"), Qt::LeftButton);
  EXPECT_EQ(testimg::ReadFile(out.toStdString()), testimg::ReadFile(changed));

  QTest::mouseClick(Get<QCheckBox>("RawCheckBox"), Qt::LeftButton);
  ASSERT_TRUE(Get<QCheckBox>("RawCheckBox")->isChecked());
  replace();
  EXPECT_EQ(form_->StatusText(2), "ACHTUNG! Real-FileSize ggf. korrigieren!");
  EXPECT_EQ(entry().Get(rom::filesentry::nCompFileSize), 900u);
  EXPECT_EQ(entry().Get(rom::filesentry::nRealFileSize), 900u);
  EXPECT_EQ(entry().Get(rom::filesentry::dwFileAttributes), attributes);
  const Bytes image = ImageBytes();
  EXPECT_EQ(Bytes(image.begin() + start, image.begin() + start + 900), testimg::ReadFile(changed));
}

// A file with a module behind: replacement stays on, deletion is off and panel 2 says why.
TEST_F(MainFormTest, AFileThatCannotBeDeletedSaysWhy) {
  testimg::ImageBuilder b(0x2000);
  b.HeaderOffset(0x100);
  b.AddFile(
      {.name = "f", .name_offset = 0x1000, .data = testimg::Pattern(16, 1), .data_offset = 0x1010});
  b.AddModule({.name = "nk.exe", .name_offset = 0x1020, .e32_offset = 0x1040, .o32_offset = 0x1080});
  testimg::WriteFile(image_path_, b.Build());
  LoadDemo();
  ShowSorted();
  ClickMapRow(MapRow({"00001010 .. ", "F["}));
  EXPECT_TRUE(Button("ReplaceButton")->isEnabled());
  EXPECT_FALSE(Button("DeleteButton")->isEnabled());
  EXPECT_TRUE(form_->StatusText(2).endsWith(QString::fromUtf8(
      " — Das Modul nk.exe (Name bei 00001020) liegt dahinter; ein Modul darf nicht verschoben "
      "werden.")))
      << form_->StatusText(2).toStdString();
}

}  // namespace
