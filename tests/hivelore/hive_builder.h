// Builds hive registry files (*.hv) in code for the Hivelore tests, benchmark and fuzz seeds.
//
// Keys and values are added in creation order and get handles 1, 2, 3 ... in that order
// (handle 0 is the root cell). Build() lays the cells out as the platform does: handle table 0
// at the start of the cell area, the root cell, then the keys and values in handle order with
// handle table k in front of handle 1024 * k, and one free cell that pads the file to a
// multiple of 4 KiB. Each new entry is linked at the head of its list (newest first), or at
// its tail when asked. The offsets of the cells are known after Build(), so that tests can
// break one thing at a time.
#ifndef TARNWICK_TESTS_HIVELORE_HIVE_BUILDER_H_
#define TARNWICK_TESTS_HIVELORE_HIVE_BUILDER_H_

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testhive {

using Bytes = std::vector<uint8_t>;

inline constexpr uint32_t kCellArea = 0x5000;
inline constexpr uint32_t kDirectory = 0x1000;
inline constexpr uint32_t kReferenceTag = 0x20000000;

inline void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// UTF-16 units of a text, one unit per byte.
inline std::vector<uint16_t> Units(const std::string& text) {
  std::vector<uint16_t> units;
  for (unsigned char c : text) units.push_back(c);
  return units;
}

class HiveBuilder {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFF;

  // A key at the top of root slot `slot`; returns its handle.
  uint32_t RootKey(uint32_t slot, const std::vector<uint16_t>& name) {
    return Add({.kind = kKey, .root_slot = slot, .name = name});
  }
  uint32_t RootKey(uint32_t slot, const std::string& name) { return RootKey(slot, Units(name)); }
  // A subkey of the key of handle `parent`.
  uint32_t Key(uint32_t parent, const std::vector<uint16_t>& name) {
    return Add({.kind = kKey, .parent = parent, .name = name});
  }
  uint32_t Key(uint32_t parent, const std::string& name) { return Key(parent, Units(name)); }
  // A value of the key of handle `key`; `data` is stored as it is.
  uint32_t Value(uint32_t key, uint16_t type, const std::vector<uint16_t>& name,
                 const Bytes& data) {
    return Add({.kind = kValue, .parent = key, .name = name, .type = type, .data = data});
  }
  uint32_t Value(uint32_t key, uint16_t type, const std::string& name, const Bytes& data) {
    return Value(key, type, Units(name), data);
  }
  // Links each new entry at the tail of its list (oldest first) instead of the head.
  HiveBuilder& LinkAtTail() {
    link_at_tail_ = true;
    return *this;
  }

  // The whole file.
  [[nodiscard]] Bytes Build() {
    Layout();
    Bytes file(file_size_, 0);
    Put32(file, 0x00, 0x400);
    Put32(file, 0x08, 0x4D494B45);  // "EKIM"
    for (int i = 0; i < 16; ++i) file[0x0C + i] = static_cast<uint8_t>(0x40 + i);
    Put32(file, 0x20, file_size_);
    for (int i = 0; i < 16; ++i) file[0x28 + i] = static_cast<uint8_t>(0x90 + i);
    Put32(file, 0xE4, 0x00655000);
    Put32(file, 0xEC, 0xFFFFFFFF);
    for (size_t k = 0; k < tables_.size(); ++k) Put32(file, kDirectory + 4 * k, tables_[k]);

    const uint32_t handles = static_cast<uint32_t>(nodes_.size()) + 1;
    for (size_t k = 0; k < tables_.size(); ++k) {
      const uint32_t table = kCellArea + tables_[k];
      CellHeader(file, table, 0x2, 0x1004, static_cast<uint32_t>(k));
      uint32_t first_free = 0;
      for (uint32_t s = 1024; s-- > 0;) {
        const uint32_t handle = static_cast<uint32_t>(k) * 1024 + s;
        if (handle < handles) {
          Put32(file, table + 12 + 4 * s, cells_[handle] | 1);
        } else {
          Put32(file, table + 12 + 4 * s, first_free << 18);
          first_free = s;
        }
      }
      Put32(file, table + 12 + 4096, first_free);
    }

    // Lists: the head of each list and the link of each entry to the next.
    std::vector<uint32_t> next(handles, 0), first_subkey(handles, 0), first_value(handles, 0);
    uint32_t roots[8] = {};
    std::vector<uint32_t> last_subkey(handles, 0), last_value(handles, 0);
    uint32_t last_root[8] = {};
    for (uint32_t h = 1; h < handles; ++h) {
      const Node& n = nodes_[h - 1];
      uint32_t* head = n.kind == kValue       ? &first_value[n.parent]
                       : n.root_slot != kNone ? &roots[n.root_slot]
                                              : &first_subkey[n.parent];
      uint32_t* tail = n.kind == kValue       ? &last_value[n.parent]
                       : n.root_slot != kNone ? &last_root[n.root_slot]
                                              : &last_subkey[n.parent];
      if (!link_at_tail_) {
        next[h] = *head;
        *head = h;
      } else {
        if (*tail != 0) next[*tail] = h;
        if (*head == 0) *head = h;
        *tail = h;
      }
    }
    auto ref = [](uint32_t handle) { return handle == 0 ? 0 : kReferenceTag | handle; };

    const uint32_t root = kCellArea + cells_[0];
    CellHeader(file, root, 0xB, 0x20, 0);
    for (int slot = 0; slot < 8; ++slot) Put32(file, root + 12 + 4 * slot, ref(roots[slot]));
    for (uint32_t h = 1; h < handles; ++h) {
      const Node& n = nodes_[h - 1];
      const uint32_t at = kCellArea + cells_[h];
      const uint32_t payload = at + 12;
      CellHeader(file, at, n.kind == kKey ? 0xC : 0xD, PayloadSize(n), h);
      if (n.kind == kKey) {
        Put32(file, payload + 0x0, ref(next[h]));
        Put32(file, payload + 0x4, ref(first_subkey[h]));
        Put32(file, payload + 0x8, ref(first_value[h]));
        Put16(file, payload + 0xC, static_cast<uint16_t>(n.name.size()));
        for (size_t i = 0; i < n.name.size(); ++i) Put16(file, payload + 0x10 + 2 * i, n.name[i]);
      } else {
        Put32(file, payload + 0x0, ref(next[h]));
        Put16(file, payload + 0x4, n.type);
        Put16(file, payload + 0x6, static_cast<uint16_t>(n.data.size()));
        Put16(file, payload + 0x8, static_cast<uint16_t>(n.name.size()));
        for (size_t i = 0; i < n.name.size(); ++i) Put16(file, payload + 0xA + 2 * i, n.name[i]);
        std::copy(n.data.begin(), n.data.end(), file.begin() + payload + 0xA + 2 * n.name.size());
      }
    }
    if (free_cell_ != 0) {
      CellHeader(file, free_cell_, 0x0, (file_size_ - free_cell_ - 12) | 1, 0);
    }
    return file;
  }

  // File offsets, valid after Build().
  [[nodiscard]] uint32_t CellOffset(uint32_t handle) const { return kCellArea + cells_[handle]; }
  [[nodiscard]] uint32_t PayloadOffset(uint32_t handle) const { return CellOffset(handle) + 12; }
  [[nodiscard]] uint32_t TableOffset(uint32_t k) const { return kCellArea + tables_[k]; }
  [[nodiscard]] uint32_t SlotOffset(uint32_t handle) const {
    return TableOffset(handle / 1024) + 12 + 4 * (handle % 1024);
  }
  [[nodiscard]] uint32_t RootListOffset(uint32_t slot) const { return PayloadOffset(0) + 4 * slot; }
  [[nodiscard]] uint32_t FreeCellOffset() const { return free_cell_; }
  [[nodiscard]] size_t table_count() const { return tables_.size(); }

  // The size Build() would give the file now.
  [[nodiscard]] uint64_t FileSize() const {
    const uint64_t handles = nodes_.size() + 1;
    const uint64_t tables = (handles + 1023) / 1024;
    const uint64_t end = kCellArea + tables * (12 + 0x1004) + 12 + 0x20 + node_cell_bytes_;
    uint64_t size = (end + 0xFFF) & ~uint64_t{0xFFF};
    if (size != end && size - end < 12) size += 0x1000;
    return size;
  }

 private:
  enum Kind { kKey, kValue };
  struct Node {
    Kind kind = kKey;
    uint32_t parent = 0;
    uint32_t root_slot = kNone;
    std::vector<uint16_t> name;
    uint16_t type = 0;
    Bytes data;
  };

  uint32_t Add(Node node) {
    node_cell_bytes_ += 12 + PayloadSize(node);
    nodes_.push_back(std::move(node));
    return static_cast<uint32_t>(nodes_.size());
  }
  static uint32_t AlignUp4(uint32_t v) { return (v + 3) & ~3u; }
  static uint32_t PayloadSize(const Node& n) {
    const auto name = static_cast<uint32_t>(2 * n.name.size());
    if (n.kind == kKey) return AlignUp4(0x10 + name);
    return AlignUp4(0x0A + name + static_cast<uint32_t>(n.data.size()) + 2);
  }
  static void CellHeader(Bytes& file, uint32_t at, uint32_t type, uint32_t size, uint32_t handle) {
    Put32(file, at, type << 28 | size);
    Put32(file, at + 4, 0);
    Put32(file, at + 8, handle);
  }

  // Places the cells: table 0, the root, then handles 1, 2, ... with table k before 1024 * k.
  void Layout() {
    const uint32_t handles = static_cast<uint32_t>(nodes_.size()) + 1;
    tables_.clear();
    cells_.assign(handles, 0);
    uint32_t rel = 0;
    for (uint32_t h = 0; h < handles; ++h) {
      if (h % 1024 == 0) {
        tables_.push_back(rel);
        rel += 12 + 0x1004;
      }
      cells_[h] = rel;
      rel += 12 + (h == 0 ? 0x20 : PayloadSize(nodes_[h - 1]));
    }
    const uint32_t end = kCellArea + rel;
    uint32_t size = (end + 0xFFF) & ~0xFFFu;
    if (size != end && size - end < 12) size += 0x1000;
    free_cell_ = size == end ? 0 : end;
    file_size_ = size;
  }

  std::vector<Node> nodes_;
  bool link_at_tail_ = false;
  std::vector<uint32_t> tables_;  // relative offsets
  std::vector<uint32_t> cells_;   // relative offset by handle
  uint64_t node_cell_bytes_ = 0;  // cells of keys and values
  uint32_t free_cell_ = 0;        // file offset, 0 for none
  uint32_t file_size_ = 0;
};

// Data of a string value: the text's units and the terminator.
inline Bytes HiveString(const std::string& text) {
  Bytes b;
  for (unsigned char c : text) b.insert(b.end(), {c, 0});
  b.insert(b.end(), {0, 0});
  return b;
}

}  // namespace testhive

#endif  // TARNWICK_TESTS_HIVELORE_HIVE_BUILDER_H_
