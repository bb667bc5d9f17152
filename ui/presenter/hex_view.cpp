// Row pieces and value texts of the hex view.
#include "ui/presenter/hex_view.h"

#include <cmath>

#include "rom/text_format.h"

namespace presenter {

using rom::H8;
using rom::Hex;

namespace {

// hexN(v): upper-case, at least `digits` digits; a negative value as its 32-bit pattern.
std::string HexN(int64_t v, int digits) {
  return Hex(static_cast<uint32_t>(static_cast<int32_t>(v)), digits);
}

bool InBuffer(const HexViewState& s, int64_t offset) {
  return offset >= 0 && offset < s.buffer_size;
}

bool IsAsciiAlnum(uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string HeadText(uint32_t base, int64_t p) {
  return "Base=" + H8(base) + ", Off " + HexN(p, 8) + " ";
}

std::string PointerText(uint32_t q) { return "(- Base) --> " + H8(q); }

}  // namespace

HexLayout::HexLayout(double advance)
    : advance_(std::isfinite(advance) && advance > 0 ? advance : 1.0) {}

int32_t HexLayout::ColumnAt(double x) const {
  if (!(x > 0)) return 0;
  // A column's own left edge belongs to it, whatever the rounding of the division.
  const double column = std::floor(x / advance_ + 1e-9);
  return column >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(column);
}

int64_t HexLayout::RowAt(double y, int32_t first_row) {
  if (!(y >= 0)) return -1;
  return int64_t{first_row} + static_cast<int64_t>(std::floor(y / kRowHeight));
}

std::string HexWidestPanel0Text() { return HeadText(0xFFFFFFFF, 0xFFFFFFFF) + PointerText(~0u); }

std::string HexCaption(int32_t first, int32_t last) {
  return "Hex View von " + HexN(first, 8) + " bis " + HexN(last, 8) +
         " L\xE4nge: " + std::to_string(int64_t{last} - first + 1);
}

int32_t HexRowCount(int32_t first, int32_t last) {
  const int64_t rows = (int64_t{last} - first) / 16 + 32;
  return rows < 0 ? 0 : static_cast<int32_t>(rows > INT32_MAX ? INT32_MAX : rows);
}

std::vector<HexPiece> HexRowPieces(const HexViewState& s, int32_t row) {
  std::vector<HexPiece> pieces;
  const int64_t o = int64_t{s.view_start} + int64_t{16} * row;
  if (!InBuffer(s, o)) return pieces;
  pieces.reserve(36);
  int32_t column = 0;
  // Each piece starts where the texts before it end; every text is one column a character.
  auto add = [&pieces, &column](std::string text, HexColor color, bool blank = false) {
    const auto width = static_cast<int32_t>(text.size());
    pieces.push_back({std::move(text), color, blank, column});
    column += width;
  };
  add(HexN(o, 8) + " > ", HexColor::kBlack);
  add(HexN(int64_t{16} * row, 8) + ":", HexColor::kBlue);
  for (int i = 0; i < 16; ++i) {
    const int64_t at = o + i;
    if (!InBuffer(s, at)) {
      add("   ", HexColor::kBlue, true);
      continue;
    }
    const uint8_t b = s.buffer[at];
    HexColor color = HexColor::kBlue;
    if (at > s.view_end) color = (b == 0x00 || b == 0xFF) ? HexColor::kSilver : HexColor::kGray;
    if (row == s.click_row && s.click_col >= 20 + 3 * i && s.click_col <= 22 + 3 * i) {
      color = HexColor::kRed;
    }
    add(" " + Hex(b, 2), color);
  }
  add("   ", HexColor::kBlue, true);
  for (int i = 0; i < 16; ++i) {
    const int64_t at = o + i;
    if (!InBuffer(s, at)) {
      add(" ", HexColor::kBlue, true);
      continue;
    }
    const uint8_t c = s.buffer[at];
    HexColor color = HexColor::kBlue;
    if (at > s.view_end) color = IsAsciiAlnum(c) ? HexColor::kGray : HexColor::kSilver;
    add(std::string(1, c >= 0x20 && c <= 0x7F ? static_cast<char>(c) : ' '), color);
  }
  return pieces;
}

int64_t HexClickPosition(const HexViewState& s) {
  return int64_t{s.view_start} + int64_t{16} * s.click_row + (int64_t{s.click_col} - 21) / 3;
}

HexValueText ShowValue(const HexViewState& s, const HexShowOptions& o) {
  const int64_t p = HexClickPosition(s);
  HexValueText t;
  const std::string head = HeadText(s.base_addr, p);
  if (p < 0 || p + 3 >= s.buffer_size) {
    t.panel0 = head + "--";
    return t;
  }
  const uint8_t* b = s.buffer + p;
  const uint32_t v = o.big_endian
                         ? b[3] | (b[2] << 8) | (b[1] << 16) | (static_cast<uint32_t>(b[0]) << 24)
                         : b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  int64_t n = 0;
  int digits = 2;
  switch (o.show_as) {
    case HexShowAs::kByte:
      n = v & 0xFF;
      if (o.negative && n > 127) n -= 256;
      break;
    case HexShowAs::kWord:
      n = v & 0xFFFF;
      if (o.negative && n > 32767) n -= 65536;
      digits = 4;
      break;
    case HexShowAs::kDWord:
      // The sign choice holds for every width: "ohne" reads 802808B4 as 2150107316.
      n = o.negative ? int64_t{static_cast<int32_t>(v)} : int64_t{v};
      digits = 4;
      break;
    case HexShowAs::kPChar: {
      const uint32_t q = v - s.base_addr;
      t.panel0 = head + PointerText(q);
      std::string text;
      for (uint64_t at = q; at < static_cast<uint64_t>(s.buffer_size) && s.buffer[at] != 0; ++at) {
        text.push_back(static_cast<char>(s.buffer[at]));
      }
      t.panel1 = "Base + " + H8(q) + " -->  \"" + text + "\"";
      return t;
    }
  }
  t.panel0 = head + "= " + (o.decimal ? std::to_string(n) : HexN(n, digits));
  return t;
}

}  // namespace presenter
