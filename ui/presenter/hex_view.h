// The hex view's arithmetic: rows, colours, click positions and value texts, without Qt.
//
// A view shows the buffer from ViewStart in rows of 16 bytes: two offsets, 16 hexadecimal
// bytes, three blanks and 16 characters, in a fixed-pitch font (character columns 0-10 and
// 11-19 for the offsets, 20+3i to 22+3i for byte i, 71-86 for the characters). Bytes are only
// read where they lie inside the buffer.
#ifndef TARNWICK_UI_PRESENTER_HEX_VIEW_H_
#define TARNWICK_UI_PRESENTER_HEX_VIEW_H_

#include <cstdint>
#include <string>
#include <vector>

namespace presenter {

enum class HexColor { kBlack, kBlue, kGray, kSilver, kRed };

// A text drawn at the current x, which then advances by the text's width. An empty colour
// list (blank) is drawn as background only.
struct HexPiece {
  std::string text;
  HexColor color;
  bool blank = false;  // advance only
  int32_t column = 0;  // character column of the text's first character
};

// Where a row's character columns lie, for drawing and for clicks alike. Column c spans
// [c * advance, (c + 1) * advance) from the row's left edge, where advance is the font's real
// character advance, fractional in general: rounding it to whole pixels would move the right
// half of a row by several columns.
class HexLayout {
 public:
  static constexpr int32_t kRowHeight = 16;
  static constexpr int32_t kColumns = 87;  // offsets, 16 bytes, gap, 16 characters

  // An advance that is not a positive number is taken as 1.
  explicit HexLayout(double advance);

  [[nodiscard]] double Advance() const { return advance_; }
  // Left edge of `column`.
  [[nodiscard]] double ColumnX(int32_t column) const { return column * advance_; }
  // Width of a whole row.
  [[nodiscard]] double RowWidth() const { return ColumnX(kColumns); }
  // The column under `x` (from the row's left edge); x below 0 gives column 0.
  [[nodiscard]] int32_t ColumnAt(double x) const;
  // The row under `y` (from the top of the first visible row `first_row`); -1 above it.
  [[nodiscard]] static int64_t RowAt(double y, int32_t first_row);

 private:
  double advance_;
};

enum class HexShowAs { kByte, kWord, kDWord, kPChar };

struct HexViewState {
  const uint8_t* buffer = nullptr;  // BufData
  int32_t buffer_size = 0;          // BufSize
  int32_t view_start = 0;           // ViewStart
  int32_t view_end = 0;             // ViewEnd
  uint32_t base_addr = 0;           // BaseAddr
  int32_t click_col = 0;            // ClickCol
  int32_t click_row = 0;            // ClickRow
};

struct HexShowOptions {
  HexShowAs show_as = HexShowAs::kByte;
  bool decimal = false;     // "DEZ"
  bool big_endian = false;  // "big"
  bool negative = false;    // "negativ"
};

// "Hex View von 00000000 bis 0000000F Länge: 16" (Windows-1252).
[[nodiscard]] std::string HexCaption(int32_t first, int32_t last);
// Rows of the list for a range: (last - first) / 16 + 32, never below 0.
[[nodiscard]] int32_t HexRowCount(int32_t first, int32_t last);

// The pieces of row `row`; empty when the row starts outside the buffer (drawn blank).
[[nodiscard]] std::vector<HexPiece> HexRowPieces(const HexViewState& s, int32_t row);

// The longest text that status panel 0 can show ("Base=..., Off ... (- Base) --> ...").
[[nodiscard]] std::string HexWidestPanel0Text();

// Byte position of the remembered click: ViewStart + 16 * ClickRow + (ClickCol - 21) / 3.
[[nodiscard]] int64_t HexClickPosition(const HexViewState& s);

struct HexValueText {
  std::string panel0;
  std::string panel1;
};
// The status texts for the remembered click. Where the four bytes at the position do not lie
// wholly in the buffer, panel 0 shows the head text and "--", panel 1 is empty.
[[nodiscard]] HexValueText ShowValue(const HexViewState& s, const HexShowOptions& o);

}  // namespace presenter

#endif  // TARNWICK_UI_PRESENTER_HEX_VIEW_H_
