// Where the records of an edited image are cut: one record per stretch of the memory map.
//
// An image loaded from records and saved unchanged keeps its own records (CutsOf in
// rom/bin_records.h). After an edit the old records no longer fit the bytes, so the image is
// cut anew along the stretches the memory map lists (header block with its tables, file data,
// names, fixed blocks):
//  - the records cover the whole image, [0, ImageLength), so no byte is lost: bytes that no
//    stretch lists (those behind the last stretch, which may hold modules the map does not
//    list, and any hole) become records of their own;
//  - a small gap (1 to 3 bytes of alignment padding) joins the record in front of it, as its
//    bytes may differ from any fill byte a later load uses;
//  - stretches that overlap become one record covering both; stretches that merely touch stay
//    separate records;
//  - stretches are clipped to the image: what lies at or beyond ImageLength is not saved, as in
//    a flat save.
#ifndef TARNWICK_ROM_BIN_CUTS_H_
#define TARNWICK_ROM_BIN_CUTS_H_

#include <cstdint>
#include <span>
#include <vector>

#include "rom/analysis.h"
#include "rom/bin_records.h"

namespace rom {

// A stretch as a memory-map line gives it: bytes first .. last, both included. A line whose
// last is first - 1 is empty; one whose last lies further below first runs to the end of the
// 32-bit range.
struct MapStretch {
  uint32_t first = 0;
  uint32_t last = 0;
  bool small_gap = false;  // a 1- to 3-byte gap line

  bool operator==(const MapStretch&) const = default;
};

// The stretches of the memory map's lines in map order: every line whose start and end offsets
// read back, except the "unallocated" line, which lies behind the image.
[[nodiscard]] std::vector<MapStretch> MapStretchesOf(const LineList& map);

// The cuts for an image of `image_length` bytes, in order of offset, by the rules above.
[[nodiscard]] std::vector<BinCut> CutsForStretches(std::span<const MapStretch> stretches,
                                                   uint32_t image_length);

// CutsForStretches(MapStretchesOf(map), image_length).
[[nodiscard]] std::vector<BinCut> CutsForMap(const LineList& map, uint32_t image_length);

}  // namespace rom

#endif  // TARNWICK_ROM_BIN_CUTS_H_
