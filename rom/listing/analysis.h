// The two lists that describe an image: the analysis log and the sorted memory map.
//
// Both are rows: what a row describes (its kind, the table entry, the offsets of a map row) as
// fields, and its text in the format of list_format.h, made once when the row is written. The
// text is what the lists show and save, and the memory map's sort key; every decision about a
// row reads its fields. The entry is kept per row, so that an action on a selected row works on
// exactly that entry, even where two entries share a start offset or a name.
#ifndef TARNWICK_ROM_LISTING_ANALYSIS_H_
#define TARNWICK_ROM_LISTING_ANALYSIS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rom/image_stretches.h"
#include "rom/rom_image.h"

namespace rom {

// What a line of the analysis log describes.
enum class LogRowKind {
  kModule,  // a module entry ("M[...")
  kFile,    // a file entry ("F[...")
  kOther,   // everything else: the header fields, details, notes
};

struct LogRow {
  LogRowKind kind = LogRowKind::kOther;
  std::optional<uint32_t> entry;  // the module or file entry of a kModule or kFile row
  std::string text;

  bool operator==(const LogRow&) const = default;
};

// A line of the memory map: one stretch of the image and its text.
struct MapRow : Stretch {
  std::string text;

  bool operator==(const MapRow&) const = default;
};

struct RomLists {
  std::vector<LogRow> AnalysisLog;  // in the order the lines were written
  std::vector<MapRow> MemoryMap;    // in the order of their texts (MapLineLess)

  // The row at `index`, or nullptr for an index outside the list.
  [[nodiscard]] const LogRow* LogRowAt(int64_t index) const;
  [[nodiscard]] const MapRow* MapRowAt(int64_t index) const;
};

// Rewrites the analysis log of `image`; when the signature is found, also the memory map.
// When it is not found, the map is cleared and the location is reset, so that nothing can act
// on the previous image's tables.
void AnalyseImage(RomImage& image, RomLists& lists);

// Rewrites the memory map from the image's location: one row per stretch (image_stretches.h).
void WriteMemoryMap(const RomImage& image, RomLists& lists);

}  // namespace rom

#endif  // TARNWICK_ROM_LISTING_ANALYSIS_H_
