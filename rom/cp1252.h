// Windows-1252 text: the 8-bit code page of names in the image and of every list line.
//
// The core keeps text as Windows-1252 bytes from image to output; these helpers exist for the
// places that show it to a person (a terminal, a window) and for text typed in by one.
#ifndef TARNWICK_ROM_CP1252_H_
#define TARNWICK_ROM_CP1252_H_

#include <optional>
#include <string>
#include <string_view>

namespace rom {

// Unicode code point of a Windows-1252 byte. The five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
[[nodiscard]] char32_t Cp1252ToCodePoint(unsigned char byte);

// The same text in UTF-8.
[[nodiscard]] std::string Cp1252ToUtf8(std::string_view text);

// A UTF-8 text converted to Windows-1252, or what stopped the conversion.
struct Cp1252Conversion {
  std::string text;
  bool invalid_utf8 = false;         // the text is not valid UTF-8
  std::optional<char32_t> unmapped;  // the first character the code page cannot hold
  [[nodiscard]] bool ok() const { return !invalid_utf8 && !unmapped; }
};
[[nodiscard]] Cp1252Conversion ConvertUtf8ToCp1252(std::string_view text);

// The same text in Windows-1252, when it is valid UTF-8 and every character exists in the
// code page; nullopt otherwise.
[[nodiscard]] std::optional<std::string> Utf8ToCp1252(std::string_view text);

}  // namespace rom

#endif  // TARNWICK_ROM_CP1252_H_
