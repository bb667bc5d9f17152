// Headless tests of the hex view and the batch compress window as the main window opens them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <filesystem>

#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"
#include "tests/ui/form_fixture.h"
#include "ui/compress_form.h"
#include "ui/hex_panel.h"
#include "ui/main_form.h"
#include "ui/qt_text.h"

namespace {

using testimg::Bytes;

class WindowsTest : public uitest::FormFixture {
 protected:
  void Load(const Bytes& bytes) {
    const std::string path = dir_.File("img.nb0");
    testimg::WriteFile(path, bytes);
    form_->LoadAtStart(QString::fromStdString(path));
    form_->findChild<QCheckBox*>("FileListCheckBox")->click();
  }
  static void Deleted() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

TEST_F(WindowsTest, HexViewOpensOnTheSelectedLineAndShowsValues) {
  testimg::ImageBuilder b(0x2000);
  b.AddFile({.name = "f",
             .name_offset = 0x1800,
             .data = {0x80, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
             .data_offset = 0x1900});
  Load(b.Build());
  // With no line selected the first line is taken: the leading gap from 0.
  form_->findChild<QPushButton*>("HexButton")->click();
  ui::THexPanel* first = form_->HexPanel();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->windowTitle(),
            QString::fromUtf8("Hex View von 00000000 bis 00000FFF Länge: 4096"));

  const auto& map = form_->lists().MemoryMap;
  const int file_row =
      static_cast<int>(std::find_if(map.begin(), map.end(),
                                    [](const rom::MapRow& row) { return row.first == 0x1900; }) -
                       map.begin());
  ClickMapRow(file_row);
  form_->findChild<QPushButton*>("HexButton")->click();
  ui::THexPanel* panel = form_->HexPanel();
  ASSERT_NE(panel, first);
  EXPECT_EQ(panel->hexBox()->RowCount(), 0 / 16 + 32);
  const presenter::HexLayout& layout = panel->hexBox()->Layout();
  // Byte 0 of row 0 (columns 20 to 22): "Byte", "negativ", "DEZ".
  panel->findChild<QRadioButton*>("ChSign_negativ")->click();
  panel->findChild<QRadioButton*>("Formate_DEZ")->click();
  panel->HexBoxMouseDown(layout.ColumnX(22) + 1, 3);
  EXPECT_EQ(panel->PanelText(0), "Base=80000000, Off 00001900 = -128");
  panel->findChild<QRadioButton*>("AlsWas_DWord")->click();
  EXPECT_EQ(panel->PanelText(0), "Base=80000000, Off 00001900 = -128");
  panel->findChild<QRadioButton*>("Formate_HEX")->click();
  EXPECT_EQ(panel->PanelText(0), "Base=80000000, Off 00001900 = FFFFFF80");
  // A press below the last row clears panel 0 and nothing else.
  panel->HexBoxMouseDown(layout.ColumnX(22), 16 * 40);
  EXPECT_EQ(panel->PanelText(0), "");
  EXPECT_EQ(panel->state().click_row, 0);

  // Loading another image closes every hex window before the buffer goes.
  QPointer<ui::THexPanel> a(first), c(panel);
  Load(b.Build());
  Deleted();
  EXPECT_TRUE(a.isNull());
  EXPECT_TRUE(c.isNull());
}

// A click where Qt draws a byte's digits reads that byte, in fonts of several sizes: the text
// layout's own advance for the row's first characters says where the digits are.
TEST_F(WindowsTest, HexClicksReadTheByteDrawnUnderThemInEveryFontSize) {
  std::vector<uint8_t> buffer(256);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i);
  ui::THexPanel panel(buffer.data(), static_cast<int32_t>(buffer.size()), nullptr);
  panel.resize(900, 515);
  panel.SetRange(0x40, 0xFF);
  panel.show();
  ui::HexBox* box = panel.hexBox();
  const QString row = "00000040 > 00000000: 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F";
  for (int pixels : {10, 11, 12, 13, 14, 15, 17}) {
    box->setFont(ui::FixedPitchFont(pixels));
    const QFontMetricsF metrics(box->font());
    for (int i = 0; i < 16; ++i) {
      // Halfway into the byte's second digit, as the whole row would be laid out as one text.
      const double x = metrics.horizontalAdvance(row.left(22 + 3 * i)) +
                       metrics.horizontalAdvance(QLatin1Char('4')) / 2;
      QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::NoModifier,
                        QPoint(static_cast<int>(x), 5));
      const QString offset = QString::number(0x40 + i, 16).toUpper().rightJustified(8, '0');
      EXPECT_TRUE(panel.PanelText(0).startsWith("Base=00000000, Off " + offset + " "))
          << pixels << " px, byte " << i << ": " << panel.PanelText(0).toStdString();
    }
  }
}

TEST_F(WindowsTest, HexViewOfAWholeBufferOpensAtOnceAndScrollsToItsEnd) {
  std::vector<uint8_t> buffer(64u << 20, 0x5A);
  buffer.back() = 0x42;
  ui::THexPanel panel(buffer.data(), static_cast<int32_t>(buffer.size()), nullptr);
  panel.resize(680, 515);
  panel.SetRange(0, static_cast<int32_t>(buffer.size()) - 1);
  EXPECT_EQ(panel.hexBox()->RowCount(), (64 << 20) / 16 - 1 + 32);
  // Scrolled so that the buffer's last row is the first visible one.
  const int32_t last_row = (64 << 20) / 16 - 1;
  panel.hexBox()->verticalScrollBar()->setValue(last_row);
  ASSERT_EQ(panel.hexBox()->FirstVisibleRow(), last_row);
  EXPECT_FALSE(panel.grab().isNull());  // draws the last row, blank rows behind the buffer
  // A click on the last byte reads nothing past the end.
  panel.HexBoxMouseDown(panel.hexBox()->Layout().ColumnX(20 + 3 * 15 + 2), 2);
  EXPECT_EQ(panel.state().click_row, last_row);
  EXPECT_EQ(panel.PanelText(0), "Base=00000000, Off 03FFFFFF --");
  // Home and End go to the first and the last row from the keyboard.
  QTest::keyClick(panel.hexBox(), Qt::Key_Home);
  EXPECT_EQ(panel.hexBox()->FirstVisibleRow(), 0);
  QTest::keyClick(panel.hexBox(), Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(panel.hexBox()->verticalScrollBar()->value(),
            panel.hexBox()->verticalScrollBar()->maximum());
  EXPECT_GT(panel.hexBox()->FirstVisibleRow(), last_row - 64);
}

TEST_F(WindowsTest, BatchWindowMarksAndRuns) {
  const auto src = dir_.path() / "src";
  const auto dst = dir_.path() / "dst";
  std::filesystem::create_directories(src / "folder");
  std::filesystem::create_directories(dst);
  testimg::WriteFile((src / "one.txt").string(), testimg::BytesOf(std::string(2000, 'x')));
  testimg::WriteFile((src / "two.bin").string(), testimg::Pattern(3000, 1));
  testimg::WriteFile((dst / "one.txt").string(), testimg::BytesOf("old"));

  form_->findChild<QPushButton*>("CompressToolButton")->click();
  ui::TCompressForm* batch = form_->CompressForm();
  ASSERT_NE(batch, nullptr);
  EXPECT_EQ(batch->windowTitle(), "Dateien auf dem PC komprimieren und dekomprimieren");
  auto* count = batch->findChild<QLabel*>("CountLabel");
  EXPECT_EQ(count->text(), "   0 Dateien (de-) komprimiert");

  batch->SourceDirectoryEditAfterDialog(QString::fromStdString(src.string()));
  auto* list = batch->findChild<QListWidget*>("SourceListBox");
  ASSERT_EQ(list->count(), 5);
  // Folder lines cannot be marked; the blank key marks a file line.
  list->setCurrentRow(2);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_EQ(batch->SourceLines()[2], "   [DIR] folder");
  list->setCurrentRow(3);
  QTest::keyClick(list, Qt::Key_Space);
  list->setCurrentRow(4);
  QTest::keyClick(list, Qt::Key_Space);
  EXPECT_TRUE(batch->SourceLines()[3].startsWith("* one.txt"));

  // No target folder yet: nothing is written, the user is told.
  batch->findChild<QPushButton*>("StartButton")->click();
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0].first, QString::fromUtf8("Es fehlt ein Zielverzeichnis."));

  batch->ZielDirectoryEditAfterDialog(QString::fromStdString(dst.string()));
  EXPECT_EQ(batch->ZielLines().size(), 1);
  dialogs_.overwrite_answers.push_back(ui::OverwriteAnswer::kNo);
  batch->findChild<QPushButton*>("StartButton")->click();
  ASSERT_EQ(dialogs_.overwrite_questions.size(), 1u);
  EXPECT_EQ(count->text(), "  1 Dateien (de-) komprimiert");
  EXPECT_EQ(testimg::ReadFile((dst / "one.txt").string()), testimg::BytesOf("old"));
  EXPECT_TRUE(std::filesystem::exists(dst / "two.bin"));
  // The target list read anew after the run: each file once, two.bin with its new size.
  EXPECT_EQ(batch->ZielLines().size(), 2);
  EXPECT_TRUE(batch->ZielLines().back().startsWith("  two.bin"));

  // Rows 16 pixels apart; a long line scrolls sideways with its size column instead of being
  // cut short.
  auto* ziel = batch->findChild<QListWidget*>("ZielListBox");
  EXPECT_EQ(ziel->visualItemRect(ziel->item(1)).top() - ziel->visualItemRect(ziel->item(0)).top(),
            16);
  const std::string long_name(60, 'n');
  testimg::WriteFile((dst / long_name).string(), testimg::BytesOf("x"));
  batch->ZielDirectoryEditAfterDialog(QString::fromStdString(dst.string()));
  batch->show();
  QApplication::processEvents();
  const QListWidgetItem* longest =
      ziel->findItems(QString::fromStdString(long_name), Qt::MatchContains).front();
  EXPECT_GE(ziel->visualItemRect(longest).width(),
            QFontMetrics(ziel->font()).horizontalAdvance(longest->text()));
  EXPECT_GT(ziel->horizontalScrollBar()->maximum(), 0);

  // Ticked: replaced without a question.
  batch->findChild<QCheckBox*>("OverwriteCheckBox")->click();
  batch->findChild<QPushButton*>("StartButton")->click();
  EXPECT_EQ(dialogs_.overwrite_questions.size(), 1u);
  EXPECT_EQ(count->text(), "  2 Dateien (de-) komprimiert");
  batch->close();
  EXPECT_NE(testimg::ReadFile((dst / "one.txt").string()), testimg::BytesOf("old"));
}

}  // namespace
