// The reader of REGEDIT4 registry text for the compiler: what Hivelore writes and what people
// write by hand in the platform's .reg files.
//
// The text is 8-bit; each byte becomes the UTF-16 unit of the same value (ISO 8859-1). Lines end
// in CR LF or LF. It reads:
//   REGEDIT4                            an optional first line
//   ; ...                               comments, and blank lines
//   [ROOT\path]  [ROOT]                 a key; ROOT is HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
//                                       HKEY_LOCAL_MACHINE, HKEY_USERS (any case) or
//                                       HKEY_ROOT_n for a code n above 3; the path is taken as
//                                       it stands, up to the last "]" of the line
//   "name"=DATA  @=DATA                 a value of the key above; in the name \\ is a backslash,
//                                       \" a double quote, any other backslash itself
//   DATA:  "string"                     type 1, escaped like a name
//          dword:1 to 8 hex digits      type 4
//          hex:01,02,...                type 3
//          hex(N):01,02,...             type N (1 to 4 hex digits), the data exactly as given
//          multi_sz:"a","b",...         type 7, each item escaped like a name
//          mui_sz:"string"              type 21, taken as it stands
// Byte and item lists go on over lines that end in "\" after a comma (or anywhere a blank may
// stand). A comment may follow a key or a value on its line. The data markers of earlier
// versions ("----------------------expand_sz---" ...) are refused: they carry no data.
//
// Nothing in the text is trusted: reading stops at the first fault with its line number and
// what is wrong, and memory stays bounded by a value's 65535 bytes of data.
#ifndef TARNWICK_TOOLS_HIVELORE_REG_TEXT_READER_H_
#define TARNWICK_TOOLS_HIVELORE_REG_TEXT_READER_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tools/hivelore/registry_entries.h"

namespace hivelore {

struct TextFault {
  uint32_t line = 0;  // from 1
  std::string what;
  // "line 12: <what>".
  [[nodiscard]] std::string Message() const;
};

struct TextCounts {
  uint64_t keys = 0;
  uint64_t values = 0;
};

struct TextRead {
  TextCounts counts;
  std::optional<TextFault> fault;  // the first; entries before it reached the sink
};

// Hands every key and value of `text` to `sink` in the order of the text.
[[nodiscard]] TextRead ReadRegText(std::span<const uint8_t> text, EntrySink& sink);

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_REG_TEXT_READER_H_
