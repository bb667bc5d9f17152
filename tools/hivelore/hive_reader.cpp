// Structure checks and the depth-first walk of hive registry files.
#include "tools/hivelore/hive_reader.h"

#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include "bytes/byte_order.h"
#include "tools/hivelore/hive_layout.h"

namespace hivelore {

namespace {

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%08llX", static_cast<unsigned long long>(v));
  return buf;
}

// The file offset of a relative offset, for messages.
std::string FileHex(uint32_t rel) { return Hex(uint64_t{hive::kCellAreaOffset} + rel); }

const char* KindName(uint32_t type) {
  switch (type) {
    case hive::kFreeCell:
      return "free cell";
    case hive::kTableCell:
      return "handle table";
    case hive::kRootCell:
      return "root cell";
    case hive::kKeyCell:
      return "key";
    case hive::kValueCell:
      return "value";
    default:
      return "cell";
  }
}

class HiveReader {
 public:
  HiveReader(std::span<const uint8_t> file, RecordSink& sink)
      : file_(file),
        area_(file.data() + hive::kCellAreaOffset),
        area_size_(static_cast<uint32_t>(file.size() - hive::kCellAreaOffset)),
        sink_(sink) {}

  std::optional<HiveRefusal> Walk();

 private:
  // A sibling list still to be written, and the length of its parent's path.
  struct Level {
    std::vector<uint32_t> keys;  // cells in stored order, written from the back
    size_t next = 0;             // keys[0, next) are still to be written
    size_t parent_path_length = 0;
    uint32_t depth = 1;
  };

  // Reads inside the cell area; every caller has checked the bounds.
  [[nodiscard]] uint32_t U32(uint32_t rel) const { return bytes::LoadLe32(area_ + rel); }
  [[nodiscard]] uint16_t U16(uint32_t rel) const { return bytes::LoadLe16(area_ + rel); }
  [[nodiscard]] uint32_t TypeOf(uint32_t cell) const { return U32(cell) >> 28; }
  [[nodiscard]] uint32_t PayloadSize(uint32_t cell) const {
    const uint32_t word = U32(cell);
    const uint32_t size = word & hive::cell::kSizeMask;
    return (word >> 28) == hive::kFreeCell ? size & ~hive::cell::kFreeFlag : size;
  }
  [[nodiscard]] uint32_t HandleOf(uint32_t cell) const { return U32(cell + hive::cell::handle); }
  [[nodiscard]] bool IsCellStart(uint32_t rel) const {
    return rel < area_size_ && (starts_[rel / 64] >> (rel % 64) & 1) != 0;
  }
  [[nodiscard]] uint32_t SlotAt(uint32_t handle) const {
    return tables_[handle / hive::table::kSlots] + hive::cell::kHeaderSize +
           4 * (handle % hive::table::kSlots);
  }
  [[nodiscard]] uint32_t HandleCount() const {
    return static_cast<uint32_t>(tables_.size()) * hive::table::kSlots;
  }

  HiveRefusal Refuse(uint32_t rel, std::string reason) const {
    return HiveRefusal{hive::kCellAreaOffset + rel, std::move(reason)};
  }

  std::optional<HiveRefusal> ScanCells();
  std::optional<HiveRefusal> ReadDirectory();
  std::optional<HiveRefusal> CheckSlots();
  std::optional<HiveRefusal> CheckPayload(uint32_t cell, uint32_t type) const;
  std::optional<HiveRefusal> Follow(uint32_t at, uint32_t type, uint32_t& cell);
  std::optional<HiveRefusal> CollectList(uint32_t at, uint32_t type, std::vector<uint32_t>& cells);
  std::optional<HiveRefusal> WalkRoot(uint32_t slot, uint32_t at);
  std::optional<HiveRefusal> WriteValues(uint32_t key);
  // Each UTF-16 unit of the name at `rel` as its low byte.
  void AppendName(std::string& text, uint32_t rel, uint32_t units) const {
    const size_t start = text.size();
    text.resize(start + units);
    const uint8_t* unit = area_ + rel;
    for (uint32_t i = 0; i < units; ++i) text[start + i] = static_cast<char>(unit[2 * i]);
  }

  std::span<const uint8_t> file_;
  const uint8_t* area_;
  uint32_t area_size_;
  RecordSink& sink_;

  std::vector<uint64_t> starts_;  // one bit per byte of the cell area: a cell begins there
  uint32_t table_cells_ = 0;
  uint32_t allocated_cells_ = 0;  // root, keys and values
  std::vector<uint32_t> tables_;  // cell of handle table k
  uint32_t slots_in_use_ = 0;
  std::vector<uint8_t> reached_;  // by handle
  uint32_t reached_count_ = 0;

  std::string path_;
  std::string name_;
  std::vector<uint32_t> values_;
};

std::optional<HiveRefusal> HiveReader::ScanCells() {
  starts_.assign(area_size_ / 64 + 1, 0);
  uint32_t rel = 0;
  while (rel < area_size_) {
    if (area_size_ - rel < hive::cell::kHeaderSize) {
      return Refuse(
          rel, "the cells do not end at the end of the file: " + std::to_string(area_size_ - rel) +
                   " bytes are left, too few for a cell header");
    }
    const uint32_t type = TypeOf(rel);
    const uint32_t size = PayloadSize(rel);
    if (type != hive::kFreeCell && type != hive::kTableCell && type != hive::kRootCell &&
        type != hive::kKeyCell && type != hive::kValueCell) {
      return Refuse(rel, "cell of unknown type " + std::to_string(type));
    }
    if (size > area_size_ - rel - hive::cell::kHeaderSize) {
      return Refuse(rel, "the " + std::string(KindName(type)) + " of " + std::to_string(size) +
                             " payload bytes runs past the end of the file at " +
                             Hex(static_cast<uint32_t>(file_.size())));
    }
    starts_[rel / 64] |= uint64_t{1} << (rel % 64);
    if (type == hive::kTableCell) {
      ++table_cells_;
    } else if (type != hive::kFreeCell) {
      ++allocated_cells_;
    }
    rel += hive::cell::kHeaderSize + size;
  }
  return std::nullopt;
}

std::optional<HiveRefusal> HiveReader::ReadDirectory() {
  for (uint32_t k = 0; k < hive::kDirectoryEntries; ++k) {
    const uint32_t at = hive::kDirectoryOffset + 4 * k;
    const uint32_t table = bytes::LoadLe32(file_.data() + at);
    if (k > 0 && table == 0) break;
    auto entry = [k] { return "directory entry " + std::to_string(k); };
    if (!IsCellStart(table) || TypeOf(table) != hive::kTableCell) {
      return HiveRefusal{at, entry() + " points to " + FileHex(table) +
                                 ", which is not the start of a handle table"};
    }
    if (PayloadSize(table) < 4 * hive::table::kSlots) {
      return Refuse(table, "handle table of " + std::to_string(PayloadSize(table)) +
                               " payload bytes is too small for its 1024 slots");
    }
    if (HandleOf(table) != k) {
      return Refuse(table, "handle table that " + entry() + " points to carries the number " +
                               std::to_string(HandleOf(table)));
    }
    tables_.push_back(table);
  }
  if (tables_.size() == table_cells_) return std::nullopt;
  for (uint32_t rel = 0; rel < area_size_; rel += hive::cell::kHeaderSize + PayloadSize(rel)) {
    if (TypeOf(rel) != hive::kTableCell) continue;
    bool listed = false;
    for (uint32_t table : tables_) listed = listed || table == rel;
    if (!listed) return Refuse(rel, "handle table that the directory does not list");
  }
  return std::nullopt;
}

std::optional<HiveRefusal> HiveReader::CheckSlots() {
  for (uint32_t handle = 0; handle < HandleCount(); ++handle) {
    const uint32_t slot = SlotAt(handle);
    const uint32_t word = U32(slot);
    if ((word & hive::table::kInUse) == 0) continue;
    const uint32_t cell = word & ~hive::table::kInUse;
    auto what = [handle, cell] {
      return "slot of handle " + std::to_string(handle) + " points to " + FileHex(cell);
    };
    if (!IsCellStart(cell)) return Refuse(slot, what() + ", which is not the start of a cell");
    const uint32_t type = TypeOf(cell);
    if (type == hive::kFreeCell || type == hive::kTableCell) {
      return Refuse(slot, what() + ", a " + KindName(type));
    }
    if (HandleOf(cell) != handle) {
      return Refuse(slot,
                    what() + ", a cell that carries handle " + std::to_string(HandleOf(cell)));
    }
    ++slots_in_use_;
  }
  if (slots_in_use_ == allocated_cells_) return std::nullopt;
  // Each slot in use names a different cell, so some cell has no slot.
  for (uint32_t rel = 0; rel < area_size_; rel += hive::cell::kHeaderSize + PayloadSize(rel)) {
    const uint32_t type = TypeOf(rel);
    if (type == hive::kFreeCell || type == hive::kTableCell) continue;
    const uint32_t handle = HandleOf(rel);
    if (handle >= HandleCount() || U32(SlotAt(handle)) != (rel | hive::table::kInUse)) {
      return Refuse(rel, std::string(KindName(type)) + " of handle " + std::to_string(handle) +
                             " has no slot in the handle tables");
    }
  }
  return std::nullopt;
}

std::optional<HiveRefusal> HiveReader::CheckPayload(uint32_t cell, uint32_t type) const {
  const uint32_t size = PayloadSize(cell);
  const uint32_t payload = cell + hive::cell::kHeaderSize;
  if (type == hive::kRootCell && size < hive::rootcell::kPayloadSize) {
    return Refuse(cell, "root cell of " + std::to_string(size) +
                            " payload bytes is too small for its 8 lists");
  }
  if (type == hive::kKeyCell) {
    if (size < hive::keycell::name) {
      return Refuse(cell, "key of " + std::to_string(size) + " payload bytes is too small");
    }
    const uint32_t units = U16(payload + hive::keycell::nameLength);
    if (2 * units > size - hive::keycell::name) {
      return Refuse(cell, "key name of " + std::to_string(units) + " units runs past its cell");
    }
  }
  if (type == hive::kValueCell) {
    if (size < hive::valuecell::name) {
      return Refuse(cell, "value of " + std::to_string(size) + " payload bytes is too small");
    }
    const uint32_t units = U16(payload + hive::valuecell::nameLength);
    const uint32_t data = U16(payload + hive::valuecell::dataLength);
    if (2 * units > size - hive::valuecell::name) {
      return Refuse(cell, "value name of " + std::to_string(units) + " units runs past its cell");
    }
    if (data > size - hive::valuecell::name - 2 * units) {
      return Refuse(cell, "value data of " + std::to_string(data) + " bytes runs past its cell");
    }
  }
  return std::nullopt;
}

std::optional<HiveRefusal> HiveReader::Follow(uint32_t at, uint32_t type, uint32_t& cell) {
  const uint32_t handle = U32(at) & hive::kReferenceHandleMask;
  auto reference = [handle] { return "reference to handle " + std::to_string(handle); };
  if (handle >= HandleCount()) {
    return Refuse(at, reference() + " lies past the handle tables (" +
                          std::to_string(HandleCount()) + " handles)");
  }
  const uint32_t word = U32(SlotAt(handle));
  if ((word & hive::table::kInUse) == 0) return Refuse(at, reference() + ", whose slot is free");
  cell = word & ~hive::table::kInUse;
  if (TypeOf(cell) != type) {
    return Refuse(at, reference() + " expects a " + KindName(type) + " but finds a " +
                          KindName(TypeOf(cell)) + " at " + FileHex(cell));
  }
  if (reached_[handle] != 0) {
    return Refuse(at,
                  reference() + ", a cell reached before: a list loops or a cell is linked twice");
  }
  reached_[handle] = 1;
  ++reached_count_;
  return CheckPayload(cell, type);
}

std::optional<HiveRefusal> HiveReader::CollectList(uint32_t at, uint32_t type,
                                                   std::vector<uint32_t>& cells) {
  cells.clear();
  // Each handle is reached once at most, so the list ends.
  while (U32(at) != 0) {
    uint32_t cell = 0;
    if (auto refusal = Follow(at, type, cell)) return refusal;
    cells.push_back(cell);
    static_assert(hive::keycell::nextSibling == 0 && hive::valuecell::nextValue == 0);
    at = cell + hive::cell::kHeaderSize;
  }
  return std::nullopt;
}

std::optional<HiveRefusal> HiveReader::WriteValues(uint32_t key) {
  if (auto refusal = CollectList(key + hive::cell::kHeaderSize + hive::keycell::firstValue,
                                 hive::kValueCell, values_)) {
    return refusal;
  }
  for (size_t i = values_.size(); i-- > 0;) {
    const uint32_t payload = values_[i] + hive::cell::kHeaderSize;
    const uint16_t units = U16(payload + hive::valuecell::nameLength);
    const uint16_t length = U16(payload + hive::valuecell::dataLength);
    name_.clear();
    AppendName(name_, payload + hive::valuecell::name, units);
    const uint32_t data = payload + hive::valuecell::name + 2 * uint32_t{units};
    sink_.WriteValueLine(U16(payload + hive::valuecell::valueType), length, name_,
                         ValueData(area_ + data, length));
  }
  return std::nullopt;
}

std::optional<HiveRefusal> HiveReader::WalkRoot(uint32_t slot, uint32_t at) {
  std::vector<Level> stack(1);
  if (auto refusal = CollectList(at, hive::kKeyCell, stack[0].keys)) return refusal;
  stack[0].next = stack[0].keys.size();
  while (!stack.empty()) {
    if (sink_.stopped()) return std::nullopt;
    Level& level = stack.back();
    if (level.next == 0) {
      stack.pop_back();
      continue;
    }
    const uint32_t key = level.keys[--level.next];
    const uint32_t payload = key + hive::cell::kHeaderSize;
    const uint32_t depth = level.depth;
    path_.resize(level.parent_path_length);
    if (depth > 1) path_.push_back('\\');
    AppendName(path_, payload + hive::keycell::name, U16(payload + hive::keycell::nameLength));
    sink_.WriteKeyLine(static_cast<uint16_t>(slot), path_);
    if (auto refusal = WriteValues(key)) return refusal;

    const uint32_t subkeys = payload + hive::keycell::firstSubkey;
    if (U32(subkeys) == 0) continue;
    if (depth == kMaxHiveDepth) {
      return Refuse(subkeys, "keys nest deeper than " + std::to_string(kMaxHiveDepth) + " levels");
    }
    Level child;
    child.parent_path_length = path_.size();
    child.depth = depth + 1;
    if (auto refusal = CollectList(subkeys, hive::kKeyCell, child.keys)) return refusal;
    child.next = child.keys.size();
    stack.push_back(std::move(child));
  }
  return std::nullopt;
}

std::optional<HiveRefusal> HiveReader::Walk() {
  if (auto refusal = ScanCells()) return refusal;
  if (auto refusal = ReadDirectory()) return refusal;
  if (auto refusal = CheckSlots()) return refusal;

  reached_.assign(HandleCount(), 0);
  const uint32_t root_slot = SlotAt(0);
  const uint32_t root_word = U32(root_slot);
  const uint32_t root = root_word & ~hive::table::kInUse;
  if ((root_word & hive::table::kInUse) == 0 || TypeOf(root) != hive::kRootCell) {
    return Refuse(root_slot, "handle 0 is not the root cell");
  }
  reached_[0] = 1;
  reached_count_ = 1;
  if (auto refusal = CheckPayload(root, hive::kRootCell)) return refusal;

  for (uint32_t slot = 0; slot < hive::rootcell::kRoots; ++slot) {
    const uint32_t at = root + hive::cell::kHeaderSize + hive::rootcell::lists + 4 * slot;
    if (auto refusal = WalkRoot(slot, at)) return refusal;
    if (sink_.stopped()) return std::nullopt;
  }
  if (reached_count_ == slots_in_use_) return std::nullopt;
  for (uint32_t handle = 0; handle < HandleCount(); ++handle) {
    const uint32_t word = U32(SlotAt(handle));
    if ((word & hive::table::kInUse) != 0 && reached_[handle] == 0) {
      const uint32_t cell = word & ~hive::table::kInUse;
      return Refuse(cell, std::string(KindName(TypeOf(cell))) + " of handle " +
                              std::to_string(handle) + " is not reached from the root");
    }
  }
  return std::nullopt;
}

}  // namespace

std::string HiveRefusal::Message() const { return "at offset " + Hex(offset) + ": " + reason; }

bool IsHive(std::span<const uint8_t> file) {
  if (file.size() < hive::kSignatureOffset + 4) return false;
  return bytes::LoadLe32(file.data() + hive::kSignatureOffset) == hive::kSignature;
}

std::optional<HiveRefusal> WalkHive(std::span<const uint8_t> file, RecordSink& sink) {
  if (file.size() < hive::kCellAreaOffset) {
    return HiveRefusal{
        static_cast<uint32_t>(file.size()),
        "the file ends before its cells, which begin at " + Hex(hive::kCellAreaOffset)};
  }
  if (file.size() > std::numeric_limits<uint32_t>::max()) {
    return HiveRefusal{0, "the file is too large for a hive"};
  }
  return HiveReader(file, sink).Walk();
}

}  // namespace hivelore
