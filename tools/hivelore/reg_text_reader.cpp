// The line-by-line reader of REGEDIT4 registry text.
#include "tools/hivelore/reg_text_reader.h"

#include <array>
#include <cstring>
#include <iterator>
#include <vector>

#include "bytes/byte_order.h"
#include "tools/hivelore/regedit4_syntax.h"

namespace hivelore {

namespace {

// The value of a hexadecimal digit, -1 for any other byte.
constexpr std::array<int8_t, 256> kHexDigit = [] {
  std::array<int8_t, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = -1;
  for (int i = 0; i < 10; ++i) t['0' + i] = static_cast<int8_t>(i);
  for (int i = 0; i < 6; ++i) {
    t['a' + i] = static_cast<int8_t>(10 + i);
    t['A' + i] = static_cast<int8_t>(10 + i);
  }
  return t;
}();

// The bytes that end a byte of a hex list.
constexpr std::array<bool, 256> kByteEnd = [] {
  std::array<bool, 256> t{};
  for (char c : {',', ' ', '\t', '\r', '\n', '\\', ';'}) t[static_cast<uint8_t>(c)] = true;
  return t;
}();

constexpr size_t kMaxName = 0xFFFF;  // both formats store a name's length in 16 bits
constexpr size_t kExcerpt = 40;

uint8_t Lower(uint8_t c) { return c >= 'A' && c <= 'Z' ? static_cast<uint8_t>(c + 32) : c; }

bool EqualNoCase(const uint8_t* p, size_t n, std::string_view word) {
  if (n != word.size()) return false;
  for (size_t i = 0; i < n; ++i) {
    if (Lower(p[i]) != Lower(static_cast<uint8_t>(word[i]))) return false;
  }
  return true;
}

// Up to kExcerpt bytes from `p`, ending at the line's end, for a message; bytes outside
// printable ASCII as \xNN.
std::string Excerpt(const uint8_t* p, const uint8_t* end) {
  std::string text;
  size_t n = 0;
  for (; p < end && *p != '\n' && *p != '\r' && n < kExcerpt; ++p, ++n) {
    if (*p >= 0x20 && *p < 0x7F) {
      text.push_back(static_cast<char>(*p));
      continue;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text += "\\x";
    text.push_back(kDigits[*p >> 4]);
    text.push_back(kDigits[*p & 0xF]);
  }
  if (n == kExcerpt && p < end && *p != '\n' && *p != '\r') text += "...";
  return text;
}

class Reader {
 public:
  Reader(std::span<const uint8_t> text, EntrySink& sink)
      : p_(text.data()), end_(text.data() + text.size()), sink_(sink), data_(kMaxValueData) {}

  TextRead Read();

 private:
  bool Fail(std::string what) { return FailAt(line_, std::move(what)); }
  bool FailAt(uint32_t line, std::string what) {
    fault_ = TextFault{line, std::move(what)};
    return false;
  }

  // Blanks, tabs and the CR of a CR LF line end.
  void SkipBlanks() {
    while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r')) ++p_;
  }
  // Blanks, and line continuations: a backslash at the end of a line.
  void SkipListBlanks();
  // A comment from ";" to the end of the line (the line end itself stays).
  void SkipComment() {
    const void* nl = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
    p_ = nl ? static_cast<const uint8_t*>(nl) : end_;
  }
  // Blanks and an optional comment, then the end of the line; `after` names what came last.
  bool EndOfLine(const char* after);
  bool StartsWith(std::string_view word) const {
    return static_cast<size_t>(end_ - p_) >= word.size() && EqualNoCase(p_, word.size(), word);
  }
  bool Take(std::string_view word) {
    if (!StartsWith(word)) return false;
    p_ += word.size();
    return true;
  }

  bool KeyLine();
  bool ValueLine();
  bool ValueData(uint16_t& type);
  bool Root(const uint8_t* text, size_t n, uint16_t& root);

  // Reads the text between double quotes at p_ and hands each character to `put`. With
  // `escaped`, \\ is a backslash and \" a double quote.
  template <typename Put>
  bool Quoted(bool escaped, bool zero_allowed, Put put);
  bool PutUnit(uint8_t c) {
    if (kMaxValueData - data_size_ < 2) return DataTooLong();
    data_[data_size_] = c;
    data_[data_size_ + 1] = 0;
    data_size_ += 2;
    return true;
  }
  bool DataTooLong() {
    return Fail("the data passes " + std::to_string(kMaxValueData) +
                " bytes, the most that a registry value holds");
  }
  bool String(bool escaped);
  bool Dword();
  bool HexList();
  bool HexByte();
  bool StringList();

  const uint8_t* p_;
  const uint8_t* const end_;
  EntrySink& sink_;
  uint32_t line_ = 1;
  bool have_key_ = false;
  bool entries_seen_ = false;
  std::string name_;
  std::vector<uint8_t> data_;  // kMaxValueData bytes, data_size_ of them in use
  size_t data_size_ = 0;
  TextCounts counts_;
  std::optional<TextFault> fault_;
};

void Reader::SkipListBlanks() {
  for (;;) {
    SkipBlanks();
    if (p_ == end_ || *p_ != '\\') return;
    const uint8_t* q = p_ + 1;
    while (q < end_ && (*q == ' ' || *q == '\t' || *q == '\r')) ++q;
    if (q < end_ && *q != '\n') return;  // a backslash that does not end its line
    p_ = q;
    if (p_ < end_) {
      ++p_;
      ++line_;
    }
  }
}

bool Reader::EndOfLine(const char* after) {
  SkipBlanks();
  if (p_ < end_ && *p_ == ';') SkipComment();
  if (p_ == end_ || *p_ == '\n') return true;
  return Fail(std::string("unexpected text after ") + after + ": \"" + Excerpt(p_, end_) + "\"");
}

TextRead Reader::Read() {
  if (end_ - p_ >= 3 && p_[0] == 0xEF && p_[1] == 0xBB && p_[2] == 0xBF) {
    Fail(
        "the text begins with the byte-order mark of UTF-8; Hivelore reads 8-bit text, one "
        "byte per character (ISO 8859-1)");
    return {counts_, fault_};
  }
  if (end_ - p_ >= 2 && ((p_[0] == 0xFF && p_[1] == 0xFE) || (p_[0] == 0xFE && p_[1] == 0xFF))) {
    Fail("the text is UTF-16; Hivelore reads 8-bit text, one byte per character (ISO 8859-1)");
    return {counts_, fault_};
  }
  bool ok = true;
  while (ok && p_ < end_) {
    SkipBlanks();
    if (p_ == end_) break;
    const uint8_t c = *p_;
    if (c == '\n') {
      ++p_;
      ++line_;
      continue;
    }
    if (c == ';') {
      SkipComment();
      continue;
    }
    if (c == '[') {
      ok = KeyLine();
    } else if (c == '"' || c == '@') {
      ok = ValueLine();
    } else if (!entries_seen_ && Take(reg::kHeader)) {
      ok = EndOfLine("REGEDIT4");
    } else {
      ok =
          Fail("a line that is neither a key [ROOT\\path], a value \"name\"=... nor a comment: \"" +
               Excerpt(p_, end_) + "\"");
    }
  }
  return {counts_, fault_};
}

bool Reader::Root(const uint8_t* text, size_t n, uint16_t& root) {
  for (size_t i = 0; i < std::size(reg::kRootNames); ++i) {
    if (EqualNoCase(text, n, reg::kRootNames[i])) {
      root = static_cast<uint16_t>(i);
      return true;
    }
  }
  const size_t prefix = reg::kOtherRoot.size();
  if (n <= prefix || n > prefix + 5 || !EqualNoCase(text, prefix, reg::kOtherRoot)) return false;
  if (text[prefix] == '0') return false;  // one spelling per code
  uint32_t code = 0;
  for (size_t i = prefix; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    code = code * 10 + (text[i] - '0');
  }
  if (code < std::size(reg::kRootNames) || code > 0xFFFF) return false;
  root = static_cast<uint16_t>(code);
  return true;
}

bool Reader::KeyLine() {
  const void* nl = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
  const uint8_t* const line_end = nl ? static_cast<const uint8_t*>(nl) : end_;
  const uint8_t* close = line_end;
  while (close > p_ && *(close - 1) != ']') --close;
  if (close == p_) return Fail("the key line has no closing bracket \"]\"");
  --close;  // the last "]" of the line
  const uint8_t* const root_text = p_ + 1;
  const void* slash = std::memchr(root_text, '\\', static_cast<size_t>(close - root_text));
  const uint8_t* const root_end = slash ? static_cast<const uint8_t*>(slash) : close;
  uint16_t root = 0;
  if (!Root(root_text, static_cast<size_t>(root_end - root_text), root)) {
    return Fail("unknown root \"" + Excerpt(root_text, root_end) +
                "\"; the roots are HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, "
                "HKEY_USERS and HKEY_ROOT_n for codes n above 3");
  }
  KeyEntry key;
  key.root = root;
  if (slash) {
    key.path = std::string_view(reinterpret_cast<const char*>(root_end + 1),
                                static_cast<size_t>(close - root_end - 1));
  }
  p_ = close + 1;
  if (!EndOfLine("the key's closing bracket")) return false;
  if (Refusal refusal = sink_.AddKey(key)) return Fail(*refusal);
  ++counts_.keys;
  have_key_ = true;
  entries_seen_ = true;
  return true;
}

bool Reader::ValueLine() {
  const uint32_t first_line = line_;
  if (!have_key_) {
    return Fail(
        "a value before any key: a key line such as [HKEY_LOCAL_MACHINE\\path] must "
        "come first");
  }
  name_.clear();
  if (*p_ == '@') {
    ++p_;
  } else if (!Quoted(true, true, [this](uint8_t c) {
               if (name_.size() == kMaxName) {
                 return Fail("the name is longer than " + std::to_string(kMaxName) + " characters");
               }
               name_.push_back(static_cast<char>(c));
               return true;
             })) {
    return false;
  }
  SkipBlanks();
  if (p_ == end_ || *p_ != '=') return Fail("an \"=\" must follow the value's name");
  ++p_;
  SkipBlanks();
  data_size_ = 0;
  uint16_t type = 0;
  if (!ValueData(type) || !EndOfLine("the value's data")) return false;
  const ValueEntry value{type, name_, std::span<const uint8_t>(data_.data(), data_size_)};
  if (Refusal refusal = sink_.AddValue(value)) return FailAt(first_line, *refusal);
  ++counts_.values;
  entries_seen_ = true;
  return true;
}

bool Reader::ValueData(uint16_t& type) {
  if (p_ < end_ && *p_ == '"') {
    type = reg::kString;
    return String(true);
  }
  if (Take(reg::kDword)) {
    type = reg::kDwordType;
    return Dword();
  }
  if (Take(reg::kHex)) {
    type = reg::kBinary;
    return HexList();
  }
  if (Take(reg::kTypedHex)) {
    const uint8_t* const start = p_;
    uint32_t code = 0;
    while (p_ < end_ && kHexDigit[*p_] >= 0 && p_ - start < 5) code = code << 4 | kHexDigit[*p_++];
    if (p_ == start || p_ - start > 4 || !Take("):")) {
      return Fail("hex( needs a type code of 1 to 4 hexadecimal digits and then \"):\"");
    }
    type = static_cast<uint16_t>(code);
    return HexList();
  }
  if (Take(reg::kMultiSz)) {
    type = reg::kMultiString;
    return StringList();
  }
  if (Take(reg::kMuiSz)) {
    type = reg::kMuiString;
    SkipBlanks();
    if (p_ == end_ || *p_ != '"') return Fail("mui_sz: needs a string in double quotes");
    return String(false);
  }
  for (std::string_view marker : reg::kMarkers) {
    if (StartsWith(marker)) {
      return Fail("the data of this value is not in the text (\"" + std::string(marker) +
                  "\" stands in its place)");
    }
  }
  if (StartsWith(reg::kUnknownMarker)) {
    return Fail("the data of this value is not in the text (\"" + Excerpt(p_, end_) +
                "\" stands in its place)");
  }
  return Fail("data of an unknown form: \"" + Excerpt(p_, end_) +
              "\"; a value holds \"string\", dword:, hex:, hex(N):, multi_sz: or mui_sz:");
}

template <typename Put>
bool Reader::Quoted(bool escaped, bool zero_allowed, Put put) {
  ++p_;  // the opening quote
  while (p_ < end_) {
    const uint8_t c = *p_;
    if (c == '"') {
      ++p_;
      return true;
    }
    if (c == '\n' || c == '\r') break;
    if (c == '\\' && escaped && end_ - p_ >= 2 && (p_[1] == '\\' || p_[1] == '"')) {
      if (!put(p_[1])) return false;
      p_ += 2;
      continue;
    }
    if (c == 0 && !zero_allowed) {
      return Fail("a zero byte inside a string, where the device would end the string");
    }
    if (!put(c)) return false;
    ++p_;
  }
  return Fail("the line ends inside a string: its closing double quote is missing");
}

bool Reader::String(bool escaped) {
  return Quoted(escaped, false, [this](uint8_t c) { return PutUnit(c); }) && PutUnit(0);
}

bool Reader::Dword() {
  const uint8_t* const start = p_;
  uint32_t v = 0;
  while (p_ < end_ && kHexDigit[*p_] >= 0 && p_ - start < 9) v = v << 4 | kHexDigit[*p_++];
  if (p_ == start || p_ - start > 8) return Fail("dword: needs 1 to 8 hexadecimal digits");
  bytes::StoreLe32(data_.data(), v);
  data_size_ = 4;
  return true;
}

bool Reader::HexByte() {
  const uint8_t* const start = p_;
  while (p_ < end_ && !kByteEnd[*p_]) ++p_;
  const size_t n = static_cast<size_t>(p_ - start);
  if (n == 0) return Fail("a byte in hexadecimal is missing before \"" + Excerpt(p_, end_) + "\"");
  if (n > 2 || kHexDigit[start[0]] < 0 || (n == 2 && kHexDigit[start[1]] < 0)) {
    return Fail("\"" + Excerpt(start, p_) + "\" is not a byte of two hexadecimal digits");
  }
  if (data_size_ == kMaxValueData) return DataTooLong();
  data_[data_size_++] = static_cast<uint8_t>(
      n == 1 ? kHexDigit[start[0]] : kHexDigit[start[0]] << 4 | kHexDigit[start[1]]);
  return true;
}

bool Reader::HexList() {
  SkipListBlanks();
  if (p_ == end_ || *p_ == '\n' || *p_ == ';') return true;  // no bytes
  for (;;) {
    if (!HexByte()) return false;
    // The usual run: a comma and two digits, again and again.
    while (end_ - p_ >= 4 && p_[0] == ',' && kHexDigit[p_[1]] >= 0 && kHexDigit[p_[2]] >= 0 &&
           kByteEnd[p_[3]]) {
      if (data_size_ == kMaxValueData) return DataTooLong();
      data_[data_size_++] = static_cast<uint8_t>(kHexDigit[p_[1]] << 4 | kHexDigit[p_[2]]);
      p_ += 3;
    }
    SkipListBlanks();
    if (p_ == end_ || *p_ != ',') return true;
    ++p_;
    SkipListBlanks();
    if (p_ == end_ || *p_ == '\n' || *p_ == ';') return Fail("a byte is missing after the comma");
  }
}

bool Reader::StringList() {
  SkipListBlanks();
  if (p_ < end_ && *p_ == '"') {
    for (;;) {
      if (!String(true)) return false;  // the item and its terminator
      SkipListBlanks();
      if (p_ == end_ || *p_ != ',') break;
      ++p_;
      SkipListBlanks();
      if (p_ == end_ || *p_ != '"')
        return Fail("an item in double quotes is missing after the comma");
    }
  }
  return PutUnit(0);  // the list's final terminator
}

}  // namespace

std::string TextFault::Message() const { return "line " + std::to_string(line) + ": " + what; }

TextRead ReadRegText(std::span<const uint8_t> text, EntrySink& sink) {
  return Reader(text, sink).Read();
}

}  // namespace hivelore
