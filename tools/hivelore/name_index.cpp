// Hashing, comparison and growth of the name index.
#include "tools/hivelore/name_index.h"

namespace hivelore {

bool EqualFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

uint32_t NameIndex::Hash(uint32_t scope, std::string_view name) {
  // FNV-1a over the scope and the folded name, then the final mix of MurmurHash3, so that the
  // low bits that pick a slot depend on every byte.
  uint32_t h = 2166136261u;
  for (int i = 0; i < 4; ++i) h = (h ^ ((scope >> (8 * i)) & 0xFF)) * 16777619u;
  for (const char c : name) h = (h ^ static_cast<uint8_t>(FoldCase(c))) * 16777619u;
  h ^= h >> 16;
  h *= 0x85EBCA6Bu;
  h ^= h >> 13;
  h *= 0xC2B2AE35u;
  h ^= h >> 16;
  return h;
}

void NameIndex::Insert(uint32_t hash, uint32_t handle) {
  if (2 * (used_ + 1) > slots_.size()) Rehash(slots_.empty() ? 1024 : 2 * slots_.size());
  size_t i = hash & mask_;
  while (slots_[i].handle != 0) i = (i + 1) & mask_;
  slots_[i] = Slot{hash, handle};
  ++used_;
}

void NameIndex::Reserve(size_t entries) {
  size_t slots = 1024;
  while (slots < 2 * entries) slots *= 2;
  if (slots > slots_.size()) Rehash(slots);
}

void NameIndex::Rehash(size_t slots) {
  LargeVector<Slot> old = std::move(slots_);
  slots_.assign(slots, Slot{});
  mask_ = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.handle == 0) continue;
    size_t i = slot.hash & mask_;
    while (slots_[i].handle != 0) i = (i + 1) & mask_;
    slots_[i] = slot;
  }
}

}  // namespace hivelore
