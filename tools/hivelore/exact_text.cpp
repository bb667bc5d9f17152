// The checks of which values their usual REGEDIT4 form carries exactly.
#include "tools/hivelore/exact_text.h"

#include "tools/hivelore/regedit4_syntax.h"

namespace hivelore {

namespace {

// A unit that the 8-bit text carries inside double quotes.
bool Carried(uint16_t unit, bool unescaped) {
  if (unit == 0 || unit > 0xFF || unit == '\r' || unit == '\n') return false;
  return !(unescaped && unit == '"');
}

bool StringReadsBack(uint32_t length, ValueData data, bool unescaped) {
  if (length < 2 || length % 2 != 0) return false;
  for (uint32_t left = length / 2; left > 1; --left) {
    if (!Carried(data.ReadU16(), unescaped)) return false;
  }
  return data.ReadU16() == 0;
}

bool ListReadsBack(uint32_t length, ValueData data) {
  if (length < 2 || length % 2 != 0) return false;
  uint16_t previous = 0;  // an empty list is the final zero unit alone
  for (uint32_t left = length / 2; left > 1; --left) {
    const uint16_t unit = data.ReadU16();
    if (unit != 0 && !Carried(unit, false)) return false;
    previous = unit;
  }
  return previous == 0 && data.ReadU16() == 0;
}

}  // namespace

bool NameReadsBackUnchanged(std::string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '"' || c == '\r' || c == '\n') return false;
    if (c == '\\' && (i + 1 == name.size() || name[i + 1] == '\\')) return false;
  }
  return true;
}

bool DataReadsBackExactly(uint16_t type, uint16_t data_length, const ValueData& data) {
  switch (type) {
    case reg::kString:
      return StringReadsBack(data_length, data, false);
    case reg::kMuiString:
      return StringReadsBack(data_length, data, true);
    case reg::kDwordType:
      return data_length == 4;
    case reg::kBinary:
      return true;
    case reg::kMultiString:
      return ListReadsBack(data_length, data);
    default:
      return false;
  }
}

}  // namespace hivelore
