// Creation order, cell layout and links of a new hive.
#include "tools/hivelore/hive_writer.h"

#include <algorithm>
#include <cstring>

#include "bytes/byte_order.h"
#include "tools/hivelore/hive_layout.h"
#include "tools/hivelore/hive_reader.h"
#include "tools/hivelore/name_index.h"
#include "tools/hivelore/text_output.h"

namespace hivelore {

namespace {

constexpr uint32_t kTableCellSize = hive::cell::kHeaderSize + hive::table::kPayloadSize;
constexpr uint32_t kRootCellSize = hive::cell::kHeaderSize + hive::rootcell::kPayloadSize;
constexpr uint32_t kFileLengthOffset = 0x20;  // u32 in the header, then a zero u32
constexpr uint32_t kPage = 0x1000;
constexpr size_t kMaxNameUnits = 0xFFFF;
constexpr size_t kMaxHandles = size_t{hive::kDirectoryEntries} * hive::table::kSlots;

uint32_t AlignUp4(uint32_t v) { return (v + 3) & ~3u; }

// The lists that names are unique in, as NameIndex scopes: the keys at the top of a root, the
// subkeys of a key (its handle, below 2^22) and the values of a key.
constexpr uint32_t kTopScope = 0x80000000;
constexpr uint32_t kValueScope = 0x40000000;

uint32_t Reference(uint32_t handle) { return handle == 0 ? 0 : hive::kReferenceTag | handle; }

uint32_t TableCount(size_t handles) {
  return static_cast<uint32_t>((handles + hive::table::kSlots - 1) / hive::table::kSlots);
}

// The length of a file whose cells end at `end`: a multiple of 4 KiB with room for the free
// cell's header behind them, or none at all.
uint64_t PaddedLength(uint64_t end) {
  uint64_t length = (end + kPage - 1) / kPage * kPage;
  if (length != end && length - end < hive::cell::kHeaderSize) length += kPage;
  return length;
}

void PutCellHeader(uint8_t* cell, uint32_t type, uint32_t payload, uint32_t handle) {
  bytes::StoreLe32(cell + hive::cell::typeAndSize, type << 28 | payload);
  bytes::StoreLe32(cell + hive::cell::reserved, 0);
  bytes::StoreLe32(cell + hive::cell::handle, handle);
}

}  // namespace

HiveWriter::HiveWriter(std::span<const uint8_t> like, size_t limit) : limit_(limit) {
  std::copy_n(like.begin(), std::min(like.size(), identity_.size()), identity_.begin());
}

uint32_t HiveWriter::PayloadSize(const Node& node) {
  if (node.is_key) return AlignUp4(hive::keycell::name + 2 * uint32_t{node.name_length});
  return AlignUp4(hive::valuecell::name + 2 * uint32_t{node.name_length} + node.data_length + 2);
}

uint64_t HiveWriter::FileSize() const {
  const size_t handles = nodes_.size() + 1;
  return PaddedLength(uint64_t{hive::kCellAreaOffset} +
                      uint64_t{TableCount(handles)} * kTableCellSize + kRootCellSize + node_cells_);
}

Refusal HiveWriter::CheckSize() const {
  if (nodes_.size() + 1 > kMaxHandles) {
    return "more keys and values than the " + std::to_string(hive::kDirectoryEntries) +
           " handle tables of a hive hold";
  }
  if (FileSize() > limit_) {
    return "the hive would pass " + std::to_string(limit_) + " bytes, the most that Hivelore reads";
  }
  return std::nullopt;
}

void HiveWriter::ReserveForText(size_t size) {
  // Lines of registry text take some 40 to 60 bytes each; most of a line is name and data.
  const size_t lines = std::min(size / 32, kMaxHandles);
  nodes_.reserve(lines);
  names_.reserve(std::min(size / 4, limit_));
  data_.reserve(std::min(size / 2, limit_));
}

uint32_t HiveWriter::ScopeOf(const Node& node) {
  if (!node.is_key) return kValueScope | node.parent;
  return node.parent == 0 ? kTopScope | node.root : node.parent;
}

std::string_view HiveWriter::NameOf(const Node& node) const {
  return std::string_view(names_.data() + node.name_offset, node.name_length);
}

HiveWriter::List& HiveWriter::SubkeysOf(uint32_t parent, uint16_t root) {
  return parent == 0 ? roots_[root] : nodes_[parent - 1].subkeys;
}

uint32_t HiveWriter::Find(const List& list, uint32_t scope, std::string_view name) const {
  if (list.count <= kScannedList) {
    for (uint32_t h = list.head; h != 0; h = nodes_[h - 1].next) {
      if (EqualFolded(NameOf(nodes_[h - 1]), name)) return h;
    }
    return 0;
  }
  return index_.Find(NameIndex::Hash(scope, name), [&](uint32_t handle) {
    const Node& node = nodes_[handle - 1];
    return ScopeOf(node) == scope && EqualFolded(NameOf(node), name);
  });
}

void HiveWriter::Link(List& list, uint32_t scope, uint32_t handle) {
  nodes_[handle - 1].next = list.head;
  list.head = handle;
  ++list.count;
  if (list.count <= kScannedList) return;
  if (list.count > kScannedList + 1) {
    index_.Insert(NameIndex::Hash(scope, NameOf(nodes_[handle - 1])), handle);
    return;
  }
  // The list has just grown too long to search one by one: all of it goes into the index.
  for (uint32_t h = list.head; h != 0; h = nodes_[h - 1].next) {
    index_.Insert(NameIndex::Hash(scope, NameOf(nodes_[h - 1])), h);
  }
}

uint32_t HiveWriter::NewNode(const Node& node, std::string_view name) {
  Node n = node;
  n.name_offset = static_cast<uint32_t>(names_.size());
  n.name_length = static_cast<uint16_t>(name.size());
  names_.insert(names_.end(), name.begin(), name.end());
  nodes_.push_back(n);
  node_cells_ += hive::cell::kHeaderSize + PayloadSize(n);
  return static_cast<uint32_t>(nodes_.size());
}

Refusal HiveWriter::AddKey(const KeyEntry& key) {
  if (key.root >= hive::rootcell::kRoots) {
    return "a hive has root slots 0 to " + std::to_string(hive::rootcell::kRoots - 1) +
           " only, not " + std::to_string(key.root);
  }
  // The path's components, each a key name; an empty path is one key with an empty name.
  std::vector<std::string_view>& names = path_names_;
  names.clear();
  for (size_t start = 0;;) {
    const size_t end = std::min(key.path.find('\\', start), key.path.size());
    names.push_back(key.path.substr(start, end - start));
    if (names.back().size() > kMaxNameUnits) {
      return "the key name \"" + std::string(names.back().substr(0, 40)) + "...\" is longer than " +
             std::to_string(kMaxNameUnits) + " characters";
    }
    if (end == key.path.size()) break;
    start = end + 1;
  }
  if (names.size() > kMaxHiveDepth) {
    return "the path nests " + std::to_string(names.size()) + " keys deep, more than the " +
           std::to_string(kMaxHiveDepth) + " that Hivelore reads";
  }
  // Down the path from the root: the keys that exist, then new ones below them.
  uint32_t parent = 0;
  bool exists = true;
  for (size_t i = 0; i < names.size(); ++i) {
    const uint32_t scope = i == 0 ? kTopScope | key.root : parent;
    const uint32_t found = exists ? Find(SubkeysOf(parent, key.root), scope, names[i]) : 0;
    if (found != 0) {
      parent = found;
      continue;
    }
    exists = false;
    Node node;
    node.is_key = true;
    node.parent = parent;
    node.root = static_cast<uint8_t>(key.root);
    const uint32_t created = NewNode(node, names[i]);
    Link(SubkeysOf(parent, key.root), scope, created);
    parent = created;
  }
  key_ = parent;
  return CheckSize();
}

Refusal HiveWriter::AddValue(const ValueEntry& value) {
  if (key_ == 0) return "a value before any key";
  if (value.name.size() > kMaxNameUnits) {
    return "the value's name is longer than " + std::to_string(kMaxNameUnits) + " characters";
  }
  if (value.data.size() > kMaxValueData) {
    return "the data of " + std::to_string(value.data.size()) + " bytes passes the " +
           std::to_string(kMaxValueData) + " that a value holds";
  }
  const uint32_t scope = kValueScope | key_;
  const uint32_t found = Find(nodes_[key_ - 1].values, scope, value.name);
  if (found == 0) {
    Node node;
    node.parent = key_;
    node.type = value.type;
    node.data_offset = static_cast<uint32_t>(data_.size());
    node.data_length = static_cast<uint16_t>(value.data.size());
    data_.insert(data_.end(), value.data.begin(), value.data.end());
    const uint32_t created = NewNode(node, value.name);
    Link(nodes_[key_ - 1].values, scope, created);
    return CheckSize();
  }
  // A value of that name is there: it keeps its place and takes the new type and data.
  Node& node = nodes_[found - 1];
  node_cells_ -= PayloadSize(node);
  replaced_data_ += node.data_length;
  node.type = value.type;
  node.data_offset = static_cast<uint32_t>(data_.size());
  node.data_length = static_cast<uint16_t>(value.data.size());
  data_.insert(data_.end(), value.data.begin(), value.data.end());
  node_cells_ += PayloadSize(node);
  if (replaced_data_ > data_.size() / 2 && replaced_data_ > (size_t{1} << 20)) CompactData();
  return CheckSize();
}

void HiveWriter::CompactData() {
  LargeVector<uint8_t> live;
  live.reserve(data_.size() - replaced_data_);
  for (Node& node : nodes_) {
    if (node.is_key) continue;
    const auto from = data_.begin() + node.data_offset;
    node.data_offset = static_cast<uint32_t>(live.size());
    live.insert(live.end(), from, from + node.data_length);
  }
  data_ = std::move(live);
  replaced_data_ = 0;
}

uint32_t HiveWriter::CellSize(uint32_t handle) const {
  return handle == 0 ? kRootCellSize : hive::cell::kHeaderSize + PayloadSize(nodes_[handle - 1]);
}

void HiveWriter::WriteCell(TextOutput& out, uint32_t handle) const {
  const Node& node = nodes_[handle - 1];
  const uint32_t payload_size = PayloadSize(node);
  const uint32_t fixed = node.is_key ? hive::keycell::name : hive::valuecell::name;
  auto* const cell = reinterpret_cast<uint8_t*>(out.Claim(hive::cell::kHeaderSize + fixed));
  PutCellHeader(cell, node.is_key ? hive::kKeyCell : hive::kValueCell, payload_size, handle);
  uint8_t* const payload = cell + hive::cell::kHeaderSize;
  if (node.is_key) {
    bytes::StoreLe32(payload + hive::keycell::nextSibling, Reference(node.next));
    bytes::StoreLe32(payload + hive::keycell::firstSubkey, Reference(node.subkeys.head));
    bytes::StoreLe32(payload + hive::keycell::firstValue, Reference(node.values.head));
    bytes::StoreLe16(payload + hive::keycell::nameLength, node.name_length);
    bytes::StoreLe16(payload + hive::keycell::flags, 0);
  } else {
    bytes::StoreLe32(payload + hive::valuecell::nextValue, Reference(node.next));
    bytes::StoreLe16(payload + hive::valuecell::valueType, node.type);
    bytes::StoreLe16(payload + hive::valuecell::dataLength, node.data_length);
    bytes::StoreLe16(payload + hive::valuecell::nameLength, node.name_length);
  }
  out.Commit(hive::cell::kHeaderSize + fixed);
  // The name in runs that fit the output's buffer, then the data and the zero padding.
  std::string_view name = NameOf(node);
  constexpr size_t kRun = TextOutput::kBufferSize / 2;
  while (!name.empty()) {
    const size_t n = std::min(name.size(), kRun);
    PutWide(reinterpret_cast<uint8_t*>(out.Claim(2 * n)), name.substr(0, n));
    out.Commit(2 * n);
    name.remove_prefix(n);
  }
  uint32_t used = fixed + 2 * uint32_t{node.name_length};
  if (!node.is_key && node.data_length > 0) {
    out.Append(std::string_view(reinterpret_cast<const char*>(data_.data()) + node.data_offset,
                                node.data_length));
    used += node.data_length;
  }
  static constexpr char kZeros[8] = {};
  out.Append(std::string_view(kZeros, payload_size - used));
}

void HiveWriter::WriteTable(TextOutput& out, uint32_t k, uint32_t table, uint32_t handles) const {
  // The cells of the table's handles follow it, one after the other.
  const uint32_t first = k * hive::table::kSlots;
  const uint32_t used = std::min(handles - first, hive::table::kSlots);
  auto* const cell = reinterpret_cast<uint8_t*>(out.Claim(kTableCellSize));
  PutCellHeader(cell, hive::kTableCell, hive::table::kPayloadSize, k);
  uint8_t* const slots = cell + hive::cell::kHeaderSize;
  uint32_t rel = table + kTableCellSize;
  for (uint32_t s = 0; s < used; ++s) {
    bytes::StoreLe32(slots + hive::table::slots + 4 * s, rel | hive::table::kInUse);
    rel += CellSize(first + s);
  }
  // The free slots chained in order; the first free slot, 0 when the table is full.
  for (uint32_t s = used; s < hive::table::kSlots; ++s) {
    const uint32_t next_free = s + 1 < hive::table::kSlots ? s + 1 : 0;
    bytes::StoreLe32(slots + hive::table::slots + 4 * s, next_free << hive::table::kNextFreeShift);
  }
  bytes::StoreLe32(slots + hive::table::firstFree, used < hive::table::kSlots ? used : 0);
  out.Commit(kTableCellSize);
}

bool HiveWriter::WriteTo(ChunkSink& sink) const {
  const uint32_t handles = static_cast<uint32_t>(nodes_.size()) + 1;
  const uint64_t length = FileSize();
  TextOutput out(sink, length);

  // Where the handle tables lie, for the directory: each in front of handle 1024 * k.
  std::vector<uint32_t> tables;
  uint32_t end = 0;
  for (uint32_t h = 0; h < handles; ++h) {
    if (h % hive::table::kSlots == 0) {
      tables.push_back(end);
      end += kTableCellSize;
    }
    end += CellSize(h);
  }

  auto* const header = reinterpret_cast<uint8_t*>(out.Claim(hive::kDirectoryOffset));
  std::memset(header, 0, hive::kDirectoryOffset);
  std::copy(identity_.begin(), identity_.end(), header);
  bytes::StoreLe32(header + kFileLengthOffset, static_cast<uint32_t>(length));
  bytes::StoreLe32(header + kFileLengthOffset + 4, 0);
  out.Commit(hive::kDirectoryOffset);
  constexpr uint32_t kDirectorySize = hive::kCellAreaOffset - hive::kDirectoryOffset;
  auto* const directory = reinterpret_cast<uint8_t*>(out.Claim(kDirectorySize));
  std::memset(directory, 0, kDirectorySize);
  for (size_t k = 0; k < tables.size(); ++k) bytes::StoreLe32(directory + 4 * k, tables[k]);
  out.Commit(kDirectorySize);

  for (uint32_t h = 0; h < handles; ++h) {
    if (h % hive::table::kSlots == 0) {
      WriteTable(out, h / hive::table::kSlots, tables[h / hive::table::kSlots], handles);
    }
    if (h > 0) {
      WriteCell(out, h);
      continue;
    }
    auto* const root = reinterpret_cast<uint8_t*>(out.Claim(kRootCellSize));
    PutCellHeader(root, hive::kRootCell, hive::rootcell::kPayloadSize, 0);
    for (uint32_t s = 0; s < hive::rootcell::kRoots; ++s) {
      bytes::StoreLe32(root + hive::cell::kHeaderSize + hive::rootcell::lists + 4 * s,
                       Reference(roots_[s].head));
    }
    out.Commit(kRootCellSize);
  }

  // One free cell to the end of the file.
  const uint64_t cells_end = hive::kCellAreaOffset + uint64_t{end};
  if (cells_end < length) {
    const auto size = static_cast<uint32_t>(length - cells_end);
    auto* const free = reinterpret_cast<uint8_t*>(out.Claim(size));
    std::memset(free, 0, size);
    PutCellHeader(free, hive::kFreeCell, (size - hive::cell::kHeaderSize) | hive::cell::kFreeFlag,
                  0);
    out.Commit(size);
  }
  return out.Finish();
}

}  // namespace hivelore
