// Tests of the hex view's rows, click positions and value texts.
#include "ui/presenter/hex_view.h"

#include <gtest/gtest.h>

#include <vector>

namespace presenter {
namespace {

class HexViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    buffer_.resize(256);
    for (size_t i = 0; i < buffer_.size(); ++i) buffer_[i] = static_cast<uint8_t>(i);
    state_.buffer = buffer_.data();
    state_.buffer_size = static_cast<int32_t>(buffer_.size());
  }
  // Value text for the bytes `bytes` at offset 0x40 (row 4 of a view from 0, column 22).
  std::string ValueOf(std::vector<uint8_t> bytes, HexShowOptions o) {
    std::copy(bytes.begin(), bytes.end(), buffer_.begin() + 0x40);
    state_.click_row = 4;
    state_.click_col = 22;
    return ShowValue(state_, o).panel0;
  }
  std::vector<uint8_t> buffer_;
  HexViewState state_;
};

TEST_F(HexViewTest, CaptionAndRowCount) {
  EXPECT_EQ(HexCaption(0, 0x0F), "Hex View von 00000000 bis 0000000F L\xE4nge: 16");
  EXPECT_EQ(HexRowCount(0, 0x0F), 32);
  EXPECT_EQ(HexRowCount(0x10, 0x2F), 33);
  EXPECT_EQ(HexRowCount(100, 0), 26);  // (0 - 100) / 16 truncates toward zero
  EXPECT_EQ(HexRowCount(0x7FFFFFFF, -0x7FFFFFFF), 0);
}

TEST_F(HexViewTest, RowsBeyondTheRangeAreGrayOrSilver) {
  buffer_[0x10] = 0x00;
  buffer_[0x11] = 0xFF;
  buffer_[0x12] = 'A';
  state_.view_end = 0x0F;
  std::vector<HexPiece> row0 = HexRowPieces(state_, 0);
  ASSERT_EQ(row0.size(), 2u + 16 + 1 + 16);
  EXPECT_EQ(row0[0].text, "00000000 > ");
  EXPECT_EQ(row0[1].text, "00000000:");
  EXPECT_EQ(row0[2].text, " 00");
  EXPECT_EQ(row0[2].color, HexColor::kBlue);
  const std::vector<HexPiece> row1 = HexRowPieces(state_, 1);
  EXPECT_EQ(row1[1].text, "00000010:");
  EXPECT_EQ(row1[2].color, HexColor::kSilver);  // 0x00
  EXPECT_EQ(row1[3].color, HexColor::kSilver);  // 0xFF
  EXPECT_EQ(row1[4].color, HexColor::kGray);    // 0x41
  EXPECT_EQ(row1[19 + 2].text, "A");
  EXPECT_EQ(row1[19 + 2].color, HexColor::kGray);  // a letter
  EXPECT_EQ(row1[19 + 0].color, HexColor::kSilver);
}

TEST_F(HexViewTest, ClickOnADigitAndOnTheLeadingBlank) {
  state_.view_start = 0x20;
  state_.view_end = 0xFF;
  state_.click_row = 2;
  state_.click_col = 37;  // second digit of byte 5
  EXPECT_EQ(HexClickPosition(state_), 0x20 + 37);
  EXPECT_EQ(HexRowPieces(state_, 2)[2 + 5].color, HexColor::kRed);
  EXPECT_EQ(HexRowPieces(state_, 2)[2 + 4].color, HexColor::kBlue);
  state_.click_col = 35;  // its leading blank: byte 5 red, position of byte 4
  EXPECT_EQ(HexClickPosition(state_), 0x20 + 36);
  EXPECT_EQ(HexRowPieces(state_, 2)[2 + 5].color, HexColor::kRed);
}

// Clicks measured against the same columns the rows are drawn in, for the advances of 10 to
// 14 pixel fixed-pitch fonts (0.6 em) and a few awkward fractions: a click anywhere inside a
// byte's two digits marks and reads that byte, on every byte of the row.
TEST_F(HexViewTest, ClicksHitTheByteDrawnUnderThemAtFractionalAdvances) {
  state_.view_end = 0xFF;
  for (const double advance : {6.0, 6.6, 7.2, 7.8, 8.4, 6.5625, 7.0001, 8.9999}) {
    const HexLayout layout(advance);
    state_.click_col = 0;
    const std::vector<HexPiece> pieces = HexRowPieces(state_, 1);
    ASSERT_EQ(pieces.size(), 35u);
    EXPECT_EQ(pieces.back().column + 1, HexLayout::kColumns);
    for (int i = 0; i < 16; ++i) {
      const HexPiece& byte = pieces[2 + static_cast<size_t>(i)];
      ASSERT_EQ(byte.column, 20 + 3 * i);
      // The two digits span columns 21 + 3i and 22 + 3i; try both edges and the middle.
      const double left = layout.ColumnX(byte.column + 1);
      const double right = layout.ColumnX(byte.column + 3);
      for (const double x : {left, left + 0.5, (left + right) / 2, right - 0.01}) {
        state_.click_row = 1;
        state_.click_col = layout.ColumnAt(x);
        EXPECT_EQ(HexClickPosition(state_), 16 + i) << "advance " << advance << " x " << x;
        EXPECT_EQ(HexRowPieces(state_, 1)[2 + static_cast<size_t>(i)].color, HexColor::kRed)
            << "advance " << advance << " byte " << i;
      }
    }
    // The characters' column is found the same way.
    EXPECT_EQ(layout.ColumnAt(layout.ColumnX(pieces[19 + 15].column) + advance / 2), 86);
  }
  // Whole-pixel widths drift: 6 pixels against a drawn advance of 6.6 misses byte 15 by two.
  const HexLayout drawn(6.6);
  EXPECT_EQ((static_cast<int>(drawn.ColumnX(66) + 3.3) / 6 - 21) / 3, 17);
  EXPECT_EQ(drawn.ColumnAt(-3), 0);
  EXPECT_EQ(HexLayout(0).Advance(), 1.0);
  EXPECT_EQ(HexLayout::RowAt(-1, 5), -1);
  EXPECT_EQ(HexLayout::RowAt(15.9, 5), 5);
  EXPECT_EQ(HexLayout::RowAt(16, 5), 6);
}

TEST_F(HexViewTest, ByteAndWordWithSign) {
  HexShowOptions o{HexShowAs::kByte, true, false, true};
  EXPECT_EQ(ValueOf({0x80, 0, 0, 0}, o), "Base=00000000, Off 00000040 = -128");
  o.decimal = false;
  EXPECT_EQ(ValueOf({0x80, 0, 0, 0}, o), "Base=00000000, Off 00000040 = FFFFFF80");
  o.negative = false;
  EXPECT_EQ(ValueOf({0x80, 0, 0, 0}, o), "Base=00000000, Off 00000040 = 80");
  o = {HexShowAs::kWord, true, false, true};
  EXPECT_EQ(ValueOf({0xFF, 0xFF, 0, 0}, o), "Base=00000000, Off 00000040 = -1");
  o.decimal = false;
  EXPECT_EQ(ValueOf({0xFF, 0xFF, 0, 0}, o), "Base=00000000, Off 00000040 = FFFFFFFF");
  // "big" reads the byte at p + 3.
  o = {HexShowAs::kByte, false, true, false};
  EXPECT_EQ(ValueOf({1, 2, 3, 4}, o), "Base=00000000, Off 00000040 = 04");
}

TEST_F(HexViewTest, DoubleWordFollowsTheSign) {
  HexShowOptions o{HexShowAs::kDWord, true, false, false};
  EXPECT_EQ(ValueOf({0xB4, 0x08, 0x28, 0x80}, o), "Base=00000000, Off 00000040 = 2150107316");
  EXPECT_EQ(ValueOf({0xFF, 0xFF, 0xFF, 0xFF}, o), "Base=00000000, Off 00000040 = 4294967295");
  o.negative = true;
  EXPECT_EQ(ValueOf({0xB4, 0x08, 0x28, 0x80}, o), "Base=00000000, Off 00000040 = -2144859980");
  EXPECT_EQ(ValueOf({0xFF, 0xFF, 0xFF, 0xFF}, o), "Base=00000000, Off 00000040 = -1");
  o.decimal = false;
  EXPECT_EQ(ValueOf({0xFF, 0xFF, 0xFF, 0xFF}, o), "Base=00000000, Off 00000040 = FFFFFFFF");
  o.negative = false;
  EXPECT_EQ(ValueOf({0xB4, 0x08, 0x28, 0x80}, o), "Base=00000000, Off 00000040 = 802808B4");
  EXPECT_EQ(ValueOf({0x12, 0, 0, 0}, o), "Base=00000000, Off 00000040 = 0012");
  o.big_endian = true;
  EXPECT_EQ(ValueOf({0x12, 0x34, 0x56, 0x78}, o), "Base=00000000, Off 00000040 = 12345678");
}

TEST_F(HexViewTest, StringPointer) {
  state_.base_addr = 0x80000000;
  const char text[] = "nk.exe";
  std::copy(text, text + 7, buffer_.begin() + 0x90);
  HexShowOptions o{HexShowAs::kPChar, false, false, false};
  EXPECT_EQ(ValueOf({0x90, 0, 0, 0x80}, o), "Base=80000000, Off 00000040 (- Base) --> 00000090");
  HexValueText t = ShowValue(state_, o);
  EXPECT_EQ(t.panel0, "Base=80000000, Off 00000040 (- Base) --> 00000090");
  EXPECT_EQ(t.panel1, "Base + 00000090 -->  \"nk.exe\"");
  ValueOf({0x10, 0, 0, 0x70}, o);  // below the base
  t = ShowValue(state_, o);
  EXPECT_EQ(t.panel1, "Base + F0000010 -->  \"\"");
  // A string that runs to the buffer's end stops there.
  std::fill(buffer_.begin() + 0xF0, buffer_.end(), 'z');
  ValueOf({0xFC, 0, 0, 0x80}, o);
  EXPECT_EQ(ShowValue(state_, o).panel1, "Base + 000000FC -->  \"zzzz\"");
}

TEST_F(HexViewTest, BytesOutsideTheBufferAreNeverRead) {
  // Before the first click (column 0, row 0) the position is ViewStart - 7.
  HexShowOptions o;
  HexValueText t = ShowValue(state_, o);
  EXPECT_EQ(t.panel0, "Base=00000000, Off FFFFFFF9 --");
  EXPECT_EQ(t.panel1, "");
  state_.view_start = 0xF0;
  state_.click_col = 22 + 3 * 13;  // byte 13: its dword reaches past the end
  t = ShowValue(state_, o);
  EXPECT_EQ(t.panel0, "Base=00000000, Off 000000FD --");
  // The last row is drawn up to the end; a row behind it is blank.
  state_.view_start = 0xF8;
  const std::vector<HexPiece> row = HexRowPieces(state_, 0);
  ASSERT_FALSE(row.empty());
  EXPECT_EQ(row[2 + 7].text, " FF");
  EXPECT_TRUE(row[2 + 8].blank);
  EXPECT_TRUE(HexRowPieces(state_, 1).empty());
}

}  // namespace
}  // namespace presenter
