// The two lists that describe an image: the analysis log and the sorted memory map.
//
// Both are text in the format of list_format.h. Beside each line the lists keep the index of
// the table entry the line describes, so that an action on a selected line works on exactly
// that entry, even where two entries share a start offset or a name.
#ifndef TARNWICK_ROM_ANALYSIS_H_
#define TARNWICK_ROM_ANALYSIS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "rom/list_format.h"
#include "rom/rom_image.h"

namespace rom {

using LineList = std::vector<std::string>;

struct RomLists {
  LineList AnalysisLog;  // in the order the lines were written
  LineList MemoryMap;    // kept in MapLineLess order
  // Per line: the module or file entry of an "M[" / "F[" log line, the file entry of a map
  // line of file data or a file name; -1 for every other line.
  std::vector<int32_t> LogEntries;
  std::vector<int32_t> MapEntries;

  // The entry of log or map line `index`; -1 for none or an index outside the list.
  [[nodiscard]] int32_t LogEntry(int64_t index) const;
  [[nodiscard]] int32_t MapEntry(int64_t index) const;
  // The line at `index`, or nullptr.
  [[nodiscard]] const std::string* LogLine(int64_t index) const;
  [[nodiscard]] const std::string* MapLine(int64_t index) const;
};

// Rewrites the analysis log of `image`; when the signature is found, also the memory map.
// When it is not found, the map is cleared and the location is reset, so that nothing can act
// on the previous image's tables.
void AnalyseImage(RomImage& image, RomLists& lists);

// Rewrites the memory map from the image's location: header block, each file's stored bytes
// and name, then the gaps between them, the leading gap and the unallocated tail.
void WriteMemoryMap(const RomImage& image, RomLists& lists);

// True when the map line at `index` or any later line is a fixed block.
[[nodiscard]] bool FixedBlockFollows(const LineList& map, int64_t index);

}  // namespace rom

#endif  // TARNWICK_ROM_ANALYSIS_H_
