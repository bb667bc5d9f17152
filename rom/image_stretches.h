// The stretches of an image: what the memory map lists, as offsets and kinds without text.
//
// The header block with its tables, each file's stored bytes and name, the gaps between
// neighbouring stretches, the block in front of the lowest stretch and the unallocated tail.
// The memory map writes one line per stretch; the record cuts of a save and the editing
// decisions read the same stretches, so nothing that changes the image depends on display text.
#ifndef TARNWICK_ROM_IMAGE_STRETCHES_H_
#define TARNWICK_ROM_IMAGE_STRETCHES_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "rom/rom_image.h"

namespace rom {

enum class StretchKind {
  kHeader,       // the ROM header with its module and file tables
  kFileData,     // a file's stored bytes
  kFileName,     // a file's name with its 0 byte
  kFixedBlock,   // a gap of 4 bytes and more, or the block in front of the lowest stretch
  kSmallGap,     // a gap of 1 to 3 bytes (alignment padding)
  kUnallocated,  // behind the highest stretch up to the buffer's end
};

// Bytes first .. last, both included. A stretch whose last is first - 1 is empty (a file of 0
// bytes); one whose last lies further below first runs past the end of the 32-bit range.
struct Stretch {
  uint32_t first = 0;
  uint32_t last = 0;
  StretchKind kind = StretchKind::kFixedBlock;
  std::optional<uint32_t> entry;  // the file entry of a file's data or name

  bool operator==(const Stretch&) const = default;
};

struct ImageStretches {
  // The header block, then each file's data and name in the order of the file table, then the
  // gaps in offset order. A gap lies between two stretches that follow each other in the order
  // of (first, last), from the end of the one to the start of the next.
  std::vector<Stretch> listed;
  // [0, lowest start - 1], a fixed block, when the lowest start of `listed` is not 0.
  std::optional<Stretch> leading_gap;
  // From behind the stretch with the highest (first, last) to the buffer's last byte.
  Stretch unallocated;
};

// The stretches of the image at its current location; nullopt when the ROM header does not
// lie in the buffer (then the image has no memory map).
[[nodiscard]] std::optional<ImageStretches> StretchesOf(const RomImage& image);

}  // namespace rom

#endif  // TARNWICK_ROM_IMAGE_STRETCHES_H_
