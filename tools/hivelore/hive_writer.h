// HiveWriter: builds a hive registry file ("default.hv") from keys and values, laid out as the
// platform lays out the hives of its images.
//
// Keys and values are created in the order they come: a key line creates the keys of its path
// that do not exist yet, from the root down; a value line creates a value of the key of the line
// before, or gives an existing value of the same name its new type and data (names compared
// without regard to case, as the device does). Entries get handles 1, 2, 3 ... in that order
// (handle 0 is the root cell), each new one linked at the head of its list (newest first), so
// that the hive reader gives them back in the order of the text. The cells follow in handle
// order: handle table 0, the root cell, keys and values, with handle table k just before handle
// 1024 * k, and one free cell that fills the file to a multiple of 4 KiB.
//
// The header is the one of an existing hive (its identity: the words up to the operation log,
// apart from the file length), with the file's own length and an empty operation log. What
// the identity fields mean is not known, so no hive is made without one to copy.
#ifndef TARNWICK_TOOLS_HIVELORE_HIVE_WRITER_H_
#define TARNWICK_TOOLS_HIVELORE_HIVE_WRITER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/hivelore/byte_block.h"
#include "tools/hivelore/hive_layout.h"
#include "tools/hivelore/name_index.h"
#include "tools/hivelore/registry_entries.h"
#include "tools/hivelore/registry_layout.h"
#include "tools/hivelore/text_output.h"

namespace hivelore {

// Where the identity of a hive header ends: the operation log begins here.
inline constexpr size_t kHiveLogOffset = 0x10C;

class HiveWriter final : public EntrySink {
 public:
  // `like`: the start of the hive whose header the new one takes (bytes past its end count as
  // zero). A file of at most `limit` bytes; by default the most that Hivelore reads.
  explicit HiveWriter(std::span<const uint8_t> like,
                      size_t limit = static_cast<size_t>(kMaxRegistryFileSize));

  // Refused: a root code above 7, a path deeper than the hive reader reads, a name longer than
  // 65535 units, a file that would pass the limit.
  [[nodiscard]] Refusal AddKey(const KeyEntry& key) override;
  // Refused: no key yet, a name longer than 65535 units, a file that would pass the limit.
  [[nodiscard]] Refusal AddValue(const ValueEntry& value) override;
  // Makes room at once for what text of `size` bytes usually holds.
  void ReserveForText(size_t size);

  // Hands the whole file to `sink`, from its start to its end, in pieces. False when the sink
  // failed.
  [[nodiscard]] bool WriteTo(ChunkSink& sink) const;
  // The length of the file that WriteTo writes.
  [[nodiscard]] uint64_t FileSize() const;

 private:
  // A list of keys or values, newest first, as the hive links it.
  struct List {
    uint32_t head = 0;  // the handle of the newest entry, 0 for none
    uint32_t count = 0;
  };
  struct Node {
    uint32_t parent = 0;  // the parent key's handle; 0 for a key at the top of its root
    uint32_t next = 0;    // the entry of the same list created before this one
    List subkeys;         // of a key
    List values;          // of a key
    uint32_t name_offset = 0;
    uint32_t data_offset = 0;
    uint16_t name_length = 0;
    uint16_t data_length = 0;
    uint16_t type = 0;  // of a value
    uint8_t root = 0;   // of a key at the top
    bool is_key = false;
  };
  // Lists of at most this many entries are searched one by one, longer ones through index_.
  static constexpr uint32_t kScannedList = 8;

  [[nodiscard]] static uint32_t PayloadSize(const Node& node);
  // The list whose names `node`'s name is unique in.
  [[nodiscard]] static uint32_t ScopeOf(const Node& node);
  [[nodiscard]] std::string_view NameOf(const Node& node) const;
  // The list of keys below `parent`, or at the top of `root` for parent 0.
  List& SubkeysOf(uint32_t parent, uint16_t root);
  // The entry named `name` (any case) in `list`, whose scope is `scope`; 0 for none.
  [[nodiscard]] uint32_t Find(const List& list, uint32_t scope, std::string_view name) const;
  // Links `handle` at the head of `list`.
  void Link(List& list, uint32_t scope, uint32_t handle);
  [[nodiscard]] Refusal CheckSize() const;
  uint32_t NewNode(const Node& node, std::string_view name);
  // Copies the live data of all values together once replaced data takes more room than it.
  void CompactData();
  // The bytes of a cell, header included.
  [[nodiscard]] uint32_t CellSize(uint32_t handle) const;
  void WriteCell(TextOutput& out, uint32_t handle) const;
  // Handle table `k` at relative offset `table`, of a hive of `handles` handles.
  void WriteTable(TextOutput& out, uint32_t k, uint32_t table, uint32_t handles) const;

  std::array<uint8_t, kHiveLogOffset> identity_{};
  size_t limit_;
  LargeVector<Node> nodes_;  // handle h is nodes_[h - 1]
  LargeVector<char> names_;
  LargeVector<uint8_t> data_;
  size_t replaced_data_ = 0;  // bytes of data_ that no value uses any more
  uint64_t node_cells_ = 0;   // bytes of the key and value cells, headers included
  uint32_t key_ = 0;          // the key that values go to; 0 before the first key
  std::array<List, hive::rootcell::kRoots> roots_;  // the keys at the top of each root slot
  NameIndex index_;  // the entries of the lists longer than kScannedList
  std::vector<std::string_view> path_names_;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_HIVE_WRITER_H_
