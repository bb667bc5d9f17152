// Which values their usual REGEDIT4 form carries exactly.
//
// The compiler reads a value line back into a type, a name and data bytes. The usual form of a
// value (a quoted string, dword:, hex:, multi_sz:, mui_sz:) gives the same bytes back only when
// the data is laid out the way the compiler lays it out and every character survives the 8-bit
// text. Every other value of these types is written as hex(N): with its exact bytes, and its
// name escaped.
#ifndef TARNWICK_TOOLS_HIVELORE_EXACT_TEXT_H_
#define TARNWICK_TOOLS_HIVELORE_EXACT_TEXT_H_

#include <cstdint>
#include <string_view>

#include "tools/hivelore/record_sink.h"

namespace hivelore {

// True when `name`, written unchanged between double quotes, reads back as itself: it holds no
// double quote and no line end, and no backslash of it stands before another or at its end
// (the compiler reads \\ as one backslash and \" as a double quote).
[[nodiscard]] bool NameReadsBackUnchanged(std::string_view name);

// True when the usual form of a value of `type` with `data_length` bytes of `data` compiles
// back to exactly those bytes:
// - a string (1) or MUI string (21): UTF-16 units from 0x01 to 0xFF other than CR and LF (and,
//   for the unescaped MUI string, other than the double quote), then one zero unit that ends
//   the data;
// - a number (4): exactly 4 bytes;
// - a byte string (3): always;
// - a string list (7): an even length, strings of such units each ended by a zero unit, then a
//   final zero unit (an empty list is the final zero unit alone);
// - any other type: never (its line is a marker without the data).
[[nodiscard]] bool DataReadsBackExactly(uint16_t type, uint16_t data_length, const ValueData& data);

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_EXACT_TEXT_H_
