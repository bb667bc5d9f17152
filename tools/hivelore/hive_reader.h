// The reader of hive registry files: checks the whole structure and hands every key and value
// to a RecordSink, in the order of a REGEDIT4 file.
//
// Keys come depth first, each key's values right after it and before its subkeys; siblings
// and values in the order they were created, which is each stored list reversed. A key's path
// is its ancestors' names and its own, joined by "\"; its root code is the number of the root
// slot it hangs from. Names become 8-bit text the way wide strings of precompiled files do:
// each UTF-16 unit gives its low byte.
//
// Nothing in the file is trusted. A hive is refused, with the file offset of the defect, when
// its cells do not fill the cell area exactly, a directory entry or table slot does not land
// on the start of the right cell, a reference leads past the handle tables, to a free slot or
// to a cell of the wrong kind, a list loops or a cell is reached twice, a name or data runs
// past its cell, an allocated cell is not reached from the root, or keys nest deeper than
// kMaxHiveDepth. Each cell is visited at most once, so work and memory stay in proportion to
// the file.
#ifndef TARNWICK_TOOLS_HIVELORE_HIVE_READER_H_
#define TARNWICK_TOOLS_HIVELORE_HIVE_READER_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tools/hivelore/record_sink.h"

namespace hivelore {

// Registry paths end here on the platform too.
inline constexpr uint32_t kMaxHiveDepth = 512;

// Why a hive was refused: the file offset of the defect and what is wrong there.
struct HiveRefusal {
  uint32_t offset = 0;
  std::string reason;
  // "at offset 0x0000500C: <reason>".
  [[nodiscard]] std::string Message() const;
};

// True when `file` carries the hive signature "EKIM" at offset 8.
[[nodiscard]] bool IsHive(std::span<const uint8_t> file);

// Walks the hive in `file` into `sink`. Returns the first defect found; the sink may have
// received records before it, so a caller discards what it wrote then. Returns no refusal
// when the sink stops early.
[[nodiscard]] std::optional<HiveRefusal> WalkHive(std::span<const uint8_t> file, RecordSink& sink);

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_HIVE_READER_H_
