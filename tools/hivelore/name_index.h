// NameIndex: finds the keys and values of a hive being built by their parent and their name,
// without regard to case, as the device compares names.
//
// An open-addressing table of handles by hash; the entries themselves (parent and name) stay
// with the caller, who says for a handle whether it is the one sought. Names are folded to
// lower case in ASCII and ISO 8859-1 before they are hashed or compared.
#ifndef TARNWICK_TOOLS_HIVELORE_NAME_INDEX_H_
#define TARNWICK_TOOLS_HIVELORE_NAME_INDEX_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "tools/hivelore/byte_block.h"

namespace hivelore {

// Lower case as the device compares names: ASCII and the letters of ISO 8859-1.
inline char FoldCase(char c) {
  const auto u = static_cast<uint8_t>(c);
  if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) {
    return static_cast<char>(u + 0x20);
  }
  return c;
}

[[nodiscard]] bool EqualFolded(std::string_view a, std::string_view b);

class NameIndex {
 public:
  // The hash of `name` in `scope` (the caller's number for a list: a parent key, a root).
  [[nodiscard]] static uint32_t Hash(uint32_t scope, std::string_view name);

  // The handle of hash `hash` for which `is(handle)` holds; 0 when there is none.
  template <typename Is>
  [[nodiscard]] uint32_t Find(uint32_t hash, Is is) const {
    if (slots_.empty()) return 0;
    for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
      const Slot& slot = slots_[i];
      if (slot.handle == 0) return 0;
      if (slot.hash == hash && is(slot.handle)) return slot.handle;
    }
  }
  // Adds `handle` (not 0) under `hash`.
  void Insert(uint32_t hash, uint32_t handle);
  // Room for `entries` without growing.
  void Reserve(size_t entries);

 private:
  struct Slot {
    uint32_t hash = 0;
    uint32_t handle = 0;  // 0: empty
  };
  void Rehash(size_t slots);

  LargeVector<Slot> slots_;
  size_t mask_ = 0;
  size_t used_ = 0;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_NAME_INDEX_H_
