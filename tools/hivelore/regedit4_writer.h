// Regedit4Writer: writes keys and values as REGEDIT4 registry text.
//
// The text is 8-bit (each UTF-16 unit of the input gave its low byte) with CR LF after every
// line. Values of types 1, 3, 4, 7 and 21 are written in their usual forms when these carry
// them exactly; every other value, of these types or any other, as hex(N): with its exact data
// bytes (N the type code in hexadecimal), so that compiling the text gives every value back.
// The text goes straight into a TextOutput, so no line, however long its data, is held whole
// in memory.
#ifndef TARNWICK_TOOLS_HIVELORE_REGEDIT4_WRITER_H_
#define TARNWICK_TOOLS_HIVELORE_REGEDIT4_WRITER_H_

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "tools/hivelore/record_sink.h"
#include "tools/hivelore/text_output.h"

namespace hivelore {

// What a run wrote: keys, values and values by type code.
struct Statistics {
  uint64_t keys = 0;
  uint64_t values = 0;
  std::array<uint64_t, 32> values_by_small_type{};  // type codes 0 to 31
  std::map<uint16_t, uint64_t> values_by_other_type;

  void CountValue(uint16_t type) {
    ++values;
    if (type < values_by_small_type.size()) {
      ++values_by_small_type[type];
    } else {
      ++values_by_other_type[type];
    }
  }
  // One line, e.g. "3 keys, 5 values: 2 REG_SZ, 3 REG_DWORD".
  [[nodiscard]] std::string Summary() const;
};

class Regedit4Writer : public RecordSink {
 public:
  explicit Regedit4Writer(TextOutput& out) : out_(out) {}

  // "REGEDIT4" and one empty line.
  void WriteHeader();
  // An empty line, then the root's prefix, the path unchanged and "]".
  void WriteKeyLine(uint16_t root, std::string_view path) override;
  // The quoted name unchanged, "=", and the data text of the type. String data (type 1) and
  // list items (type 7) are escaped; type 3 takes `data_length` bytes as hexadecimal pairs,
  // type 7 reads its list from the next `data_length` bytes. A value of these five types that
  // this form does not carry exactly (exact_text.h) gets the escaped name and hex(N): with
  // `data_length` bytes. The other types get a marker that names the type in the data's place
  // (no data is read); the compiler refuses such a line.
  void WriteValueLine(uint16_t value_type, uint16_t data_length, std::string_view name,
                      ValueData data) override;
  [[nodiscard]] bool stopped() const override { return out_.stopped(); }

  [[nodiscard]] const Statistics& statistics() const { return statistics_; }

 private:
  // The name unchanged, "=" and the marker of the type.
  void WriteMarkerLine(uint16_t value_type, std::string_view name);
  // The escaped name, "=hex(N):" and `data_length` bytes as hexadecimal pairs.
  void WriteExactValueLine(uint16_t value_type, uint16_t data_length, std::string_view name,
                           const ValueData& data);
  // The units up to the first zero unit, each as its low byte.
  void WriteString(const ValueData& data, bool escape);
  // `count` bytes as hexadecimal pairs: at most 20 on the first line, 25 on each further one.
  void WriteHexByteList(const ValueData& data, uint32_t count);
  // One quoted item per string of the list in `count` bytes; the final terminator is not read
  // and an item without its terminator inside the count is left out.
  void WriteMultiStringList(ValueData data, uint32_t count);

  TextOutput& out_;
  Statistics statistics_;
  std::string item_;  // the list item being read
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_REGEDIT4_WRITER_H_
