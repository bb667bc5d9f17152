// Key lines, value lines and the data texts of REGEDIT4.
#include "tools/hivelore/regedit4_writer.h"

#include <algorithm>

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
  static constexpr std::string_view kRoots[] = {"[HKEY_CLASSES_ROOT\\", "[HKEY_CURRENT_USER\\",
                                                "[HKEY_LOCAL_MACHINE\\", "[HKEY_USERS\\"};
  ++statistics_.keys;
  out_.Append(kLineEnd);
  if (root < 4) {
    out_.Append(kRoots[root]);
  } else {
    // No root key has this code: a name that a registry compiler refuses loudly, instead of
    // attaching the values to some other key.
    out_.Append("[HKEY_ROOT_" + std::to_string(root) + "\\");
  }
  out_.Append(path);
  out_.Put(']');
  out_.Append(kLineEnd);
}

void Regedit4Writer::WriteValueLine(uint16_t value_type, uint16_t data_length,
                                    std::string_view name, ValueData data) {
  statistics_.CountValue(value_type);
  out_.Put('"');
  out_.Append(name);
  out_.Append("\"=");
  switch (value_type) {
    case 0:
      out_.Append("-----------------------none---");
      break;
    case 1:
      out_.Put('"');
      WriteString(data, true);
      out_.Put('"');
      break;
    case 2:
      out_.Append("----------------------expand_sz---");
      break;
    case 3:
      out_.Append("hex:");
      WriteHexByteList(data, data_length);
      break;
    case 4: {
      out_.Append("dword:");
      const uint32_t v = data.ReadU32();
      for (int shift = 28; shift >= 0; shift -= 4) out_.Put(kHexDigits[(v >> shift) & 0xF]);
      break;
    }
    case 5:
      out_.Append("----dword_be---");
      break;
    case 6:
      out_.Append("----link---");
      break;
    case 7:
      out_.Append("multi_sz:");
      WriteMultiStringList(data, data_length);
      break;
    case 8:
      out_.Append("---- resorcelist--");
      break;
    case 9:
      out_.Append("---- full resorce descr--");
      break;
    case 10:
      out_.Append("---- resorce requirements--");
      break;
    case 11:
      out_.Append("---- Qword--");
      break;
    case 21:
      out_.Append("mui_sz:\"");
      WriteString(data, false);
      out_.Put('"');
      break;
    default:
      out_.Append("--------------------- unbekannt " + std::to_string(value_type));
      break;
  }
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
