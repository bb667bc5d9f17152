// Key lines, value lines and the data texts of REGEDIT4.
#include "tools/hivelore/regedit4_writer.h"

namespace hivelore {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr const char* kLineEnd = "\r\n";

void AppendHexByte(std::string& out, uint8_t b) {
  out.push_back(kHexDigits[b >> 4]);
  out.push_back(kHexDigits[b & 0xF]);
}

void AppendEscaped(std::string& out, char c) {
  if (c == '\\' || c == '"') out.push_back('\\');
  out.push_back(c);
}

}  // namespace

std::string EscapeText(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) AppendEscaped(out, c);
  return out;
}

void Regedit4Writer::WriteHeader() {
  out_.append("REGEDIT4");
  out_.append(kLineEnd);
  out_.append(kLineEnd);
}

void Regedit4Writer::WriteKeyLine(uint16_t root, const std::string& path) {
  static constexpr const char* kRoots[] = {"[HKEY_CLASSES_ROOT\\", "[HKEY_CURRENT_USER\\",
                                           "[HKEY_LOCAL_MACHINE\\", "[HKEY_USERS\\"};
  out_.append(kLineEnd);
  if (root < 4) {
    out_.append(kRoots[root]);
  } else {
    // No root key has this code: a name that a registry compiler refuses loudly, instead of
    // attaching the values to some other key.
    out_.append("[HKEY_ROOT_" + std::to_string(root) + "\\");
  }
  out_.append(path);
  out_.append("]");
  out_.append(kLineEnd);
}

void Regedit4Writer::WriteValueLine(uint16_t value_type, uint16_t data_length,
                                    const std::string& name) {
  out_.push_back('"');
  out_.append(name);
  out_.append("\"=");
  switch (value_type) {
    case 0:
      out_.append("-----------------------none---");
      break;
    case 1:
      out_.push_back('"');
      out_.append(EscapeText(image_.ReadWideString()));
      out_.push_back('"');
      break;
    case 2:
      out_.append("----------------------expand_sz---");
      break;
    case 3:
      out_.append("hex:");
      out_.append(HexByteList(data_length));
      break;
    case 4: {
      out_.append("dword:");
      const uint32_t v = image_.ReadU32();
      for (int shift = 28; shift >= 0; shift -= 4) out_.push_back(kHexDigits[(v >> shift) & 0xF]);
      break;
    }
    case 5:
      out_.append("----dword_be---");
      break;
    case 6:
      out_.append("----link---");
      break;
    case 7:
      out_.append("multi_sz:");
      out_.append(MultiStringList(data_length));
      break;
    case 8:
      out_.append("---- resorcelist--");
      break;
    case 9:
      out_.append("---- full resorce descr--");
      break;
    case 10:
      out_.append("---- resorce requirements--");
      break;
    case 11:
      out_.append("---- Qword--");
      break;
    case 21:
      out_.append("mui_sz:\"");
      out_.append(image_.ReadWideString());
      out_.push_back('"');
      break;
    default:
      out_.append("--------------------- unbekannt " + std::to_string(value_type));
      break;
  }
  out_.append(kLineEnd);
}

std::string Regedit4Writer::HexByteList(uint32_t count) const {
  std::string text;
  text.reserve(size_t{count} * 3 + count / 25 * 6 + 8);
  const int64_t start = image_.cursor();
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) {
      text.push_back(',');
      // Bytes 21, 46, 71, ... (counted from 1) begin a new physical line.
      if (i >= 20 && (i - 20) % 25 == 0) text.append("\\\r\n   ");
    }
    AppendHexByte(text, image_.ByteAt(start + i));
  }
  return text;
}

std::string Regedit4Writer::MultiStringList(uint32_t count) {
  std::string result;
  std::string item;
  uint32_t remaining = count;
  while (remaining > 2) {
    const uint16_t unit = image_.ReadU16();
    remaining -= 2;
    if (unit != 0) {
      AppendEscaped(item, static_cast<char>(unit & 0xFF));
      continue;
    }
    result.push_back('"');
    result.append(item);
    result.push_back('"');
    item.clear();
    if (remaining > 2) result.append(",\\\r\n  ");
  }
  return result;
}

}  // namespace hivelore
