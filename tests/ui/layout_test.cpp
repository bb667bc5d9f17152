// Every caption fits its control in the three windows, in each state that shows other
// controls. ctest runs these tests at the usual font, with text at 125% and 150%
// (TARNWICK_TEST_TEXT_SCALE, a larger desktop font) and with the whole interface at 150%
// (QT_SCALE_FACTOR).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/image_builder/demo_image.h"
#include "tests/image_builder/rom_compressor.h"
#include "tests/ui/form_fixture.h"
#include "ui/compress_form.h"
#include "ui/hex_panel.h"

namespace {

using testimg::Bytes;

QString Describe(const QWidget* w) {
  QString text;
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text();
  if (auto* l = qobject_cast<const QLabel*>(w)) text = l->text();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) text = g->title();
  return QString("%1 %2 \"%3\"").arg(w->metaObject()->className(), w->objectName(), text);
}

// What a person would see cut off in `window`: a push button's caption wider or taller than
// the button, any other control squeezed below its least size (a check box or radio button
// below the width of its indicator and caption, a group below its title's), a control
// reaching out of its group's frame, or two buttons overlapping. Readouts that show data of
// any length (the selected line, the string at a pointer) are left out.
std::vector<std::string> ClippedControls(const QWidget* window) {
  std::vector<std::string> faults;
  auto fault = [&faults](const QWidget* w, const QString& what) {
    faults.push_back((Describe(w) + ": " + what).toStdString());
  };
  const QStringList readouts = {"StatusPanel2", "HexStatusPanel1"};
  for (const QWidget* w : window->findChildren<QWidget*>()) {
    const QWidget* parent = w->parentWidget();
    if (!w->isVisibleTo(window) || w->isWindow() || w->objectName().startsWith("qt_") ||
        (parent && parent->objectName().startsWith("qt_")) || readouts.contains(w->objectName())) {
      continue;
    }
    const QString size = QString(" (%1 x %2)").arg(w->width()).arg(w->height());
    if (auto* button = qobject_cast<const QPushButton*>(w)) {
      // A push button's least size hint includes the style's least width, not the caption's.
      const QFontMetrics metrics(button->font());
      const int frame = 2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
      const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin);
      const int text = metrics.horizontalAdvance(QString(button->text()).remove('&'));
      if (text + margin + frame > button->width() || metrics.height() + frame > button->height()) {
        fault(w, QString("caption needs %1 x %2")
                         .arg(text + margin + frame)
                         .arg(metrics.height() + frame) +
                     size);
      }
    } else {
      const QSize least = w->minimumSizeHint();
      if (least.isValid() && (w->width() < least.width() || w->height() < least.height())) {
        fault(w, QString("needs %1 x %2").arg(least.width()).arg(least.height()) + size);
      }
    }
    if (auto* group = qobject_cast<const QGroupBox*>(parent)) {
      if (!group->contentsRect().contains(w->geometry())) fault(w, "out of its group's frame");
    }
    if (qobject_cast<const QAbstractButton*>(w) && parent) {
      for (const QObject* o : parent->children()) {
        auto* other = qobject_cast<const QAbstractButton*>(o);
        if (other && other != w && other->isVisibleTo(window) && w < other &&
            w->geometry().intersects(other->geometry())) {
          fault(w, "overlaps " + Describe(other));
        }
      }
    }
  }
  return faults;
}

bool UsualFont() {
  return !std::getenv("TARNWICK_TEST_TEXT_SCALE") && !std::getenv("QT_SCALE_FACTOR");
}

class LayoutTest : public uitest::FormFixture {
 protected:
  void SetUp() override {
    FormFixture::SetUp();
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  }
  void ExpectNothingClipped(const QWidget* window, const char* state) {
    QApplication::processEvents();
    for (const std::string& f : ClippedControls(window)) ADD_FAILURE() << state << ": " << f;
  }
  void LoadDemo() {
    const std::string path = dir_.File("demo.nb0");
    testimg::WriteFile(path, testimg::DemoImage(testimg::RomCompressor(codec::PageCoding::kLzx)));
    form_->LoadAtStart(QString::fromStdString(path));
  }
  int MapRow(const char* part) const {
    const auto& map = form_->lists().MemoryMap;
    for (size_t i = 0; i < map.size(); ++i) {
      if (map[i].text.find(part) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
  }
};

TEST_F(LayoutTest, MainWindowInEveryState) {
  if (UsualFont()) {
    // The designed size is also the least.
    EXPECT_LE(form_->minimumSizeHint().width(), 640);
    EXPECT_LE(form_->minimumSizeHint().height(), 560);
  }
  ExpectNothingClipped(form_.get(), "start");
  LoadDemo();
  ExpectNothingClipped(form_.get(), "log view");
  // Showing the sorted list and going back leaves the least size as it was.
  const QSize least = form_->minimumSize();
  Get<QCheckBox>("FileListCheckBox")->click();
  Get<QCheckBox>("FileListCheckBox")->click();
  EXPECT_EQ(form_->minimumSize(), least);
  Get<QCheckBox>("FileListCheckBox")->click();
  ClickMapRow(MapRow("00002490 .. "));
  EXPECT_EQ(Get<QPushButton>("DeleteButton")->text(), QString::fromUtf8("Block löschen"));
  ExpectNothingClipped(form_.get(), "sorted list");
  Get<QPushButton>("DeleteButton")->click();
  ExpectNothingClipped(form_.get(), "block deletion warning");
  Get<QPushButton>("ExitButton")->click();
  ClickMapRow(MapRow("168  readme.txt"));
  Get<QPushButton>("EntryEditButton")->click();
  ASSERT_TRUE(Get<QGroupBox>("EditBox")->isVisible());
  ExpectNothingClipped(form_.get(), "attribute box");
}

TEST_F(LayoutTest, HexWindowWithTheLongestReadout) {
  LoadDemo();
  Get<QCheckBox>("FileListCheckBox")->click();
  ClickMapRow(MapRow("168  readme.txt"));
  Get<QPushButton>("HexButton")->click();
  ui::THexPanel* panel = form_->HexPanel();
  ASSERT_NE(panel, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
  panel->findChild<QRadioButton*>("AlsWas_PChar")->click();
  panel->HexBoxMouseDown(panel->hexBox()->Layout().ColumnX(22), 2);
  EXPECT_TRUE(panel->PanelText(0).contains("(- Base) --> ")) << panel->PanelText(0).toStdString();
  ExpectNothingClipped(panel, "PChar");
}

TEST_F(LayoutTest, BatchWindowOpensWhole) {
  Get<QPushButton>("CompressToolButton")->click();
  ui::TCompressForm* batch = form_->CompressForm();
  ASSERT_NE(batch, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(batch));
  if (UsualFont()) {
    EXPECT_EQ(batch->size(), QSize(623, 499));
    EXPECT_LE(batch->minimumSizeHint().width(), 623);
    EXPECT_LE(batch->minimumSizeHint().height(), 499);
  }
  ExpectNothingClipped(batch, "batch");
}

}  // namespace
