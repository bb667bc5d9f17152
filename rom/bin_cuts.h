// Where the records of an edited image are cut: one record per stretch of the image.
//
// An image loaded from records and saved unchanged keeps its own records (CutsOf in
// rom/bin_records.h). After an edit the old records no longer fit the bytes, so the image is
// cut anew along its stretches (image_stretches.h: header block with its tables, file data,
// names, fixed blocks), the ones the memory map lists:
//  - the records cover the whole image, [0, ImageLength), so no byte is lost: bytes that no
//    stretch lists (those behind the last stretch, which may hold modules the map does not
//    list, and any hole) become records of their own;
//  - a small gap (1 to 3 bytes of alignment padding) joins the record in front of it, as its
//    bytes may differ from any fill byte a later load uses;
//  - stretches that overlap become one record covering both; stretches that merely touch stay
//    separate records;
//  - stretches are clipped to the image: what lies at or beyond ImageLength is not saved, as in
//    a flat save; the unallocated tail lies behind the image and is left out.
#ifndef TARNWICK_ROM_BIN_CUTS_H_
#define TARNWICK_ROM_BIN_CUTS_H_

#include <cstdint>
#include <span>
#include <vector>

#include "rom/bin_records.h"
#include "rom/image_stretches.h"
#include "rom/rom_image.h"

namespace rom {

// The cuts for an image of `image_length` bytes with these stretches (in any order), in order
// of offset, by the rules above.
[[nodiscard]] std::vector<BinCut> CutsForStretches(std::span<const Stretch> stretches,
                                                   uint32_t image_length);

// The cuts of the image along its own stretches at its current location; one record of the
// whole image when it has no ROM header in the buffer.
[[nodiscard]] std::vector<BinCut> CutsForImage(const RomImage& image);

}  // namespace rom

#endif  // TARNWICK_ROM_BIN_CUTS_H_
