// Windows-1252 to Unicode table.
#include "rom/cp1252.h"

namespace rom {

namespace {

// 0x80 to 0x9F; every other byte is its own code point.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

char32_t Cp1252ToCodePoint(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char32_t{byte};
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

Cp1252Conversion ConvertUtf8ToCp1252(std::string_view text) {
  Cp1252Conversion r;
  r.text.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    char32_t cp;
    size_t n;
    if (b0 < 0x80) {
      cp = b0;
      n = 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      cp = b0 & 0x1F;
      n = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      cp = b0 & 0x0F;
      n = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
      cp = b0 & 0x07;
      n = 4;
    } else {
      r.invalid_utf8 = true;
      return r;
    }
    if (text.size() - i < n) {
      r.invalid_utf8 = true;
      return r;
    }
    for (size_t k = 1; k < n; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if ((b & 0xC0) != 0x80) {
        r.invalid_utf8 = true;
        return r;
      }
      cp = (cp << 6) | (b & 0x3F);
    }
    i += n;
    int byte = -1;
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
      byte = static_cast<int>(cp);
    } else {
      for (int k = 0; k < 32; ++k) {
        if (kHigh[k] == cp) byte = 0x80 + k;
      }
    }
    if (byte < 0) {
      r.unmapped = cp;
      return r;
    }
    r.text.push_back(static_cast<char>(byte));
  }
  return r;
}

std::optional<std::string> Utf8ToCp1252(std::string_view text) {
  Cp1252Conversion r = ConvertUtf8ToCp1252(text);
  if (!r.ok()) return std::nullopt;
  return std::move(r.text);
}

}  // namespace rom
