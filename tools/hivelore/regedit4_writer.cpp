// Key lines, value lines and the data texts of REGEDIT4.
#include "tools/hivelore/regedit4_writer.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "tools/hivelore/exact_text.h"
#include "tools/hivelore/regedit4_syntax.h"

namespace hivelore {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::string_view kLineEnd = "\r\n";

const char* TypeName(uint32_t type) {
  switch (type) {
    case 0:
      return "REG_NONE";
    case 1:
      return "REG_SZ";
    case 2:
      return "REG_EXPAND_SZ";
    case 3:
      return "REG_BINARY";
    case 4:
      return "REG_DWORD";
    case 5:
      return "REG_DWORD_BIG_ENDIAN";
    case 6:
      return "REG_LINK";
    case 7:
      return "REG_MULTI_SZ";
    case 8:
      return "REG_RESOURCE_LIST";
    case 9:
      return "REG_FULL_RESOURCE_DESCRIPTOR";
    case 10:
      return "REG_RESOURCE_REQUIREMENTS_LIST";
    case 11:
      return "REG_QWORD";
    case 21:
      return "REG_MUI_SZ";
    default:
      return nullptr;
  }
}

}  // namespace

std::string Statistics::Summary() const {
  std::string text = std::to_string(keys) + (keys == 1 ? " key, " : " keys, ") +
                     std::to_string(values) + (values == 1 ? " value" : " values");
  const char* separator = ": ";
  auto add = [&](uint32_t type, uint64_t count) {
    const char* name = TypeName(type);
    text += separator + std::to_string(count) + " " +
            (name ? std::string(name) : "of type " + std::to_string(type));
    separator = ", ";
  };
  for (uint32_t type = 0; type < values_by_small_type.size(); ++type) {
    if (values_by_small_type[type] != 0) add(type, values_by_small_type[type]);
  }
  for (const auto& [type, count] : values_by_other_type) add(type, count);
  return text;
}

void Regedit4Writer::WriteHeader() {
  out_.Append("REGEDIT4");
  out_.Append(kLineEnd);
  out_.Append(kLineEnd);
}

void Regedit4Writer::WriteKeyLine(uint16_t root, std::string_view path) {
  ++statistics_.keys;
  out_.Append(kLineEnd);
  out_.Put('[');
  if (root < std::size(reg::kRootNames)) {
    out_.Append(reg::kRootNames[root]);
  } else {
    // No root key has this code: a name that other registry compilers refuse loudly, instead
    // of attaching the values to some other key, and that --compile reads back as the code.
    out_.Append(reg::kOtherRoot);
    out_.Append(std::to_string(root));
  }
  out_.Put('\\');
  out_.Append(path);
  out_.Put(']');
  out_.Append(kLineEnd);
}

void Regedit4Writer::WriteValueLine(uint16_t value_type, uint16_t data_length,
                                    std::string_view name, ValueData data) {
  statistics_.CountValue(value_type);
  if (!reg::HasDataForm(value_type)) {
    WriteMarkerLine(value_type, name);
    return;
  }
  if (!NameReadsBackUnchanged(name) || !DataReadsBackExactly(value_type, data_length, data)) {
    WriteExactValueLine(value_type, data_length, name, data);
    return;
  }
  out_.Put('"');
  out_.Append(name);
  out_.Append("\"=");
  switch (value_type) {
    case reg::kString:
      out_.Put('"');
      WriteString(data, true);
      out_.Put('"');
      break;
    case reg::kBinary:
      out_.Append(reg::kHex);
      WriteHexByteList(data, data_length);
      break;
    case reg::kDwordType: {
      out_.Append(reg::kDword);
      const uint32_t v = data.ReadU32();
      for (int shift = 28; shift >= 0; shift -= 4) out_.Put(kHexDigits[(v >> shift) & 0xF]);
      break;
    }
    case reg::kMultiString:
      out_.Append(reg::kMultiSz);
      WriteMultiStringList(data, data_length);
      break;
    case reg::kMuiString:
      out_.Append(reg::kMuiSz);
      out_.Put('"');
      WriteString(data, false);
      out_.Put('"');
      break;
    default:
      break;  // the other types were written as markers above
  }
  out_.Append(kLineEnd);
}

void Regedit4Writer::WriteMarkerLine(uint16_t value_type, std::string_view name) {
  out_.Put('"');
  out_.Append(name);
  out_.Append("\"=");
  const std::string_view marker = reg::MarkerOf(value_type);
  if (!marker.empty()) {
    out_.Append(marker);
  } else {
    out_.Append(reg::kUnknownMarker);
    out_.Append(std::to_string(value_type));
  }
  out_.Append(kLineEnd);
}

void Regedit4Writer::WriteExactValueLine(uint16_t value_type, uint16_t data_length,
                                         std::string_view name, const ValueData& data) {
  out_.Put('"');
  for (const char c : name) {
    if (c == '\\' || c == '"') out_.Put('\\');
    out_.Put(c);
  }
  out_.Append("\"=");
  out_.Append(reg::kTypedHex);
  char code[8];
  std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(value_type));
  out_.Append(code);
  out_.Append("):");
  WriteHexByteList(data, data_length);
  out_.Append(kLineEnd);
}

void Regedit4Writer::WriteString(const ValueData& data, bool escape) {
  const uint8_t* p = data.data();
  const size_t size = data.size();
  size_t i = 0;
  // In runs of units, each of which gives at most two bytes of text.
  constexpr size_t kUnitsPerRun = 1024;
  while (i + 1 < size) {
    char* const start = out_.Claim(2 * kUnitsPerRun);
    char* o = start;
    for (size_t n = 0; n < kUnitsPerRun && i + 1 < size; ++n, i += 2) {
      if ((p[i] | p[i + 1]) == 0) {
        out_.Commit(static_cast<size_t>(o - start));
        return;
      }
      const char c = static_cast<char>(p[i]);
      if (escape && (c == '\\' || c == '"')) *o++ = '\\';
      *o++ = c;
    }
    out_.Commit(static_cast<size_t>(o - start));
  }
  // A last unit cut by the end of the data: its missing high byte reads as zero.
  if (i < size && p[i] != 0) {
    const char c = static_cast<char>(p[i]);
    if (escape && (c == '\\' || c == '"')) out_.Put('\\');
    out_.Put(c);
  }
}

void Regedit4Writer::WriteHexByteList(const ValueData& data, uint32_t count) {
  // One physical line at a time: bytes 1 to 20, then 25 on each line, so bytes 21, 46, 71, ...
  // (counted from 1) begin a new line behind a continuation.
  constexpr std::string_view kContinuation = ",\\\r\n   ";
  constexpr size_t kLongestLine = kContinuation.size() + 25 * 3;
  uint32_t i = 0;
  while (i < count) {
    const uint32_t line_end = i == 0 ? std::min(count, 20u) : std::min(count - i, 25u) + i;
    char* const start = out_.Claim(kLongestLine);
    char* o = start;
    if (i > 0) o = std::copy(kContinuation.begin(), kContinuation.end(), o);
    for (uint32_t j = i; j < line_end; ++j) {
      if (j > i) *o++ = ',';
      const uint8_t b = data.ByteAt(j);
      *o++ = kHexDigits[b >> 4];
      *o++ = kHexDigits[b & 0xF];
    }
    out_.Commit(static_cast<size_t>(o - start));
    i = line_end;
  }
}

void Regedit4Writer::WriteMultiStringList(ValueData data, uint32_t count) {
  item_.clear();
  uint32_t remaining = count;
  while (remaining > 2) {
    const uint16_t unit = data.ReadU16();
    remaining -= 2;
    if (unit != 0) {
      const char c = static_cast<char>(unit & 0xFF);
      if (c == '\\' || c == '"') item_.push_back('\\');
      item_.push_back(c);
      continue;
    }
    out_.Put('"');
    out_.Append(item_);
    out_.Put('"');
    item_.clear();
    if (remaining > 2) out_.Append(",\\\r\n  ");
  }
}

}  // namespace hivelore
