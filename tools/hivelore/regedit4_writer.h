// Regedit4Writer: writes keys and values as REGEDIT4 registry text.
//
// The text is 8-bit (each UTF-16 unit of the input gave its low byte) with CR LF after every
// line. Values of types 1, 3, 4, 7 and 21 are written with their data; every other type gets
// a marker text naming the type.
#ifndef TARNWICK_TOOLS_HIVELORE_REGEDIT4_WRITER_H_
#define TARNWICK_TOOLS_HIVELORE_REGEDIT4_WRITER_H_

#include <cstdint>
#include <string>

#include "tools/hivelore/registry_image.h"

namespace hivelore {

// Backslash and double quote escaped with a backslash; every other byte copied.
[[nodiscard]] std::string EscapeText(const std::string& text);

class Regedit4Writer : public RecordSink {
 public:
  // Appends the text to `out`; the data of values is read from `image` at its cursor.
  Regedit4Writer(RegistryImage& image, std::string& out) : image_(image), out_(out) {}

  // "REGEDIT4" and one empty line.
  void WriteHeader();
  void WriteKeyLine(uint16_t root, const std::string& path) override;
  void WriteValueLine(uint16_t value_type, uint16_t data_length, const std::string& name) override;

  // `count` bytes from the cursor as hexadecimal pairs with line continuations: at most 20
  // bytes on the first line, 25 on each further line.
  [[nodiscard]] std::string HexByteList(uint32_t count) const;
  // The string list in the next `count` bytes, one quoted item per string; the list's final
  // terminator is never read.
  [[nodiscard]] std::string MultiStringList(uint32_t count);

 private:
  RegistryImage& image_;
  std::string& out_;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_REGEDIT4_WRITER_H_
