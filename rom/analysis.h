// The two lists that describe an image: the analysis log and the sorted memory map.
//
// Every later action starts from a selected line of one of these lists and reads the kind of
// the line and its offsets back from fixed columns, so the line formats are a contract with the
// editing operations and the windows. Lines are 8-bit text (Windows-1252 bytes from the image).
#ifndef TARNWICK_ROM_ANALYSIS_H_
#define TARNWICK_ROM_ANALYSIS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rom/rom_image.h"

namespace rom {

using LineList = std::vector<std::string>;

struct RomLists {
  LineList AnalysisLog;  // in the order the lines were written
  LineList MemoryMap;    // kept in MapLineLess order
};

// Rewrites the analysis log of `image`; when the signature is found, also the memory map.
// When it is not found, the map is cleared and the derived fields are reset, so that nothing
// can act on the previous image's tables.
void AnalyseImage(RomImage& image, RomLists& lists);

// Rewrites the memory map from the derived fields of the last LocateRomHeader: header block,
// each file's stored bytes and name, then the gaps between them, the leading gap and the
// unallocated tail.
void WriteMemoryMap(RomImage& image, LineList& map);

// Order of the memory map: byte by byte after mapping A-Z to a-z.
[[nodiscard]] bool MapLineLess(std::string_view a, std::string_view b);

// True when the line at `index` or any later line is a fixed block (contains "-!-").
[[nodiscard]] bool FixedBlockFollows(const LineList& map, int64_t index);

// Kinds of memory-map lines, told from their text.
[[nodiscard]] inline bool IsFileLine(std::string_view line) {
  return line.find("F[") != std::string_view::npos;
}
[[nodiscard]] inline bool IsFixedBlockLine(std::string_view line) {
  return line.find("-!-") != std::string_view::npos;
}
// Character 22 (counted from 1) is "." in a small-gap line and in no other kind.
[[nodiscard]] inline bool IsSmallGapLine(std::string_view line) {
  return line.size() > 21 && line[21] == '.';
}

}  // namespace rom

#endif  // TARNWICK_ROM_ANALYSIS_H_
