// Number formatting for list lines, and reading numbers typed into text fields.
#include "rom/text_format.h"

#include <charconv>
#include <limits>

namespace rom {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void AppendHex(std::string& out, uint64_t x, int digits) {
  char buf[16];
  int n = 0;
  do {
    buf[n++] = kHexDigits[x & 0xF];
    x >>= 4;
  } while (x != 0);
  if (digits > n) out.append(static_cast<size_t>(digits - n), '0');
  while (n > 0) out.push_back(buf[--n]);
}

void AppendDec(std::string& out, uint64_t x, int width) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  const auto n = static_cast<int>(r.ptr - buf);
  if (width > n) out.append(static_cast<size_t>(width - n), ' ');
  out.append(buf, static_cast<size_t>(n));
}

std::string Hex(uint64_t x, int digits) {
  std::string out;
  AppendHex(out, x, digits);
  return out;
}

void PadRight(std::string& s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
}

std::optional<uint32_t> ParseHex32(std::string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  uint32_t v = 0;
  for (char c : s) {
    const int d = HexValue(c);
    if (d < 0) return std::nullopt;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  return v;
}

namespace {

// A number as typed: its sign, whether its digits are hexadecimal, and its magnitude, which
// must fit 64 unsigned bits (the sign is applied by the caller, in the field's width).
struct Parsed {
  bool negative = false;
  bool hex = false;
  uint64_t magnitude = 0;
};

std::optional<Parsed> ParseDigits(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  Parsed p;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    p.negative = s[i] == '-';
    ++i;
  }
  if (i < s.size() && s[i] == '$') {
    p.hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    p.hex = true;
    i += 2;
  }
  if (i == s.size()) return std::nullopt;
  const uint64_t base = p.hex ? 16 : 10;
  for (; i < s.size(); ++i) {
    const int d = HexValue(s[i]);
    if (d < 0 || static_cast<uint64_t>(d) >= base) return std::nullopt;
    if (p.magnitude > (std::numeric_limits<uint64_t>::max() - static_cast<uint64_t>(d)) / base) {
      return std::nullopt;
    }
    p.magnitude = p.magnitude * base + static_cast<uint64_t>(d);
  }
  return p;
}

}  // namespace

std::optional<int64_t> ParseFieldNumber(std::string_view s, int bits) {
  const auto p = ParseDigits(s);
  if (!p) return std::nullopt;
  const uint64_t all_ones = bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  const uint64_t max_positive = all_ones >> 1;
  uint64_t pattern;
  if (p->hex) {
    // Hexadecimal text names a bit pattern of the field's width, so $FFFFFFFF is -1 in 32 bits.
    if (p->magnitude > all_ones) return std::nullopt;
    pattern = p->magnitude;
  } else {
    if (p->magnitude > max_positive + (p->negative ? 1 : 0)) return std::nullopt;
    pattern = p->magnitude;
  }
  if (p->negative) pattern = (0 - pattern) & all_ones;
  // Sign-extend from the field's width.
  if (bits < 64 && (pattern & (uint64_t{1} << (bits - 1))) != 0) pattern |= ~all_ones;
  return static_cast<int64_t>(pattern);
}

std::optional<uint32_t> ParseFieldWordLow32(std::string_view s) {
  const auto v = ParseFieldNumber(s, 64);
  if (!v) return std::nullopt;
  return static_cast<uint32_t>(static_cast<uint64_t>(*v));
}

}  // namespace rom
