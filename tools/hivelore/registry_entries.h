// The keys and values that the compiler reads from registry text and hands to the writer of a
// registry file, in the form the device stores them.
//
// Names and paths stay 8-bit text: each byte is the UTF-16 unit of the same value (ISO 8859-1),
// which the writers widen. Value data is already the stored bytes: strings as UTF-16LE with
// their terminator, numbers little-endian. A writer refuses what its format cannot hold with a
// text that says what, and the reader puts the line number in front of it.
#ifndef TARNWICK_TOOLS_HIVELORE_REGISTRY_ENTRIES_H_
#define TARNWICK_TOOLS_HIVELORE_REGISTRY_ENTRIES_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace hivelore {

// Both formats store a value's data length in 16 bits.
inline constexpr size_t kMaxValueData = 0xFFFF;

struct KeyEntry {
  uint16_t root = 0;      // 0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_USER, 2 HKEY_LOCAL_MACHINE, ...
  std::string_view path;  // below the root, components separated by "\"; may be empty
};

struct ValueEntry {
  uint16_t type = 0;
  std::string_view name;  // empty for the default value
  std::span<const uint8_t> data;
};

// Why an entry cannot go into the file, e.g. "the path of 40000 characters is longer than ...".
using Refusal = std::optional<std::string>;

// Writes each byte of `text` as the UTF-16LE unit of the same value; returns the end.
inline uint8_t* PutWide(uint8_t* out, std::string_view text) {
  for (const char c : text) {
    *out++ = static_cast<uint8_t>(c);
    *out++ = 0;
  }
  return out;
}

class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // A key line; the values that follow belong to it.
  [[nodiscard]] virtual Refusal AddKey(const KeyEntry& key) = 0;
  // A value of the key added last.
  [[nodiscard]] virtual Refusal AddValue(const ValueEntry& value) = 0;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_REGISTRY_ENTRIES_H_
