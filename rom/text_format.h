// Number formatting for the fixed-column text lines of the lists and messages, and the reading
// of numbers typed into text fields.
//
// Lines are 8-bit text (Windows-1252 bytes); offsets are upper-case hexadecimal with 8 digits,
// sizes are decimal, columns are padded with blanks.
#ifndef TARNWICK_ROM_TEXT_FORMAT_H_
#define TARNWICK_ROM_TEXT_FORMAT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rom {

// Appends x in upper-case hexadecimal, at least `digits` digits with leading zeros.
void AppendHex(std::string& out, uint64_t x, int digits);
// Appends x in decimal, padded on the left with blanks to at least `width` characters.
void AppendDec(std::string& out, uint64_t x, int width = 0);
// x in upper-case hexadecimal, at least `digits` digits with leading zeros.
[[nodiscard]] std::string Hex(uint64_t x, int digits);
// x as exactly 8 upper-case hexadecimal digits.
[[nodiscard]] inline std::string H8(uint32_t x) { return Hex(x, 8); }
// Appends blanks to `s` until it is at least `width` characters long.
void PadRight(std::string& s, size_t width);

// Reads `s` as a hexadecimal number the way a "$"-prefixed text is read: 1 to 8 hexadecimal
// digits of either case, nothing else. nullopt for anything that is not such a number.
[[nodiscard]] std::optional<uint32_t> ParseHex32(std::string_view s);

// Reads a number typed into a text field: leading blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$" or "0x". The value must fit a signed field of `bits`
// bits (32 or 64); hexadecimal text gives the field's bit pattern ("$FFFFFFFF" is -1 in 32
// bits). nullopt for any other character, an empty text, or a value that does not fit.
[[nodiscard]] std::optional<int64_t> ParseFieldNumber(std::string_view s, int bits);
// The same reading for hexadecimal input that may be wider than 32 bits: accepts up to 64
// bits (signed) and gives the low 32 bits.
[[nodiscard]] std::optional<uint32_t> ParseFieldWordLow32(std::string_view s);

}  // namespace rom

#endif  // TARNWICK_ROM_TEXT_FORMAT_H_
