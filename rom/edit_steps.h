// The steps from which deletion, addition and replacement are built.
//
// Entries and the signature block are corrected where they stand before the data moves, and
// then move with it. Every move stays inside the buffer; the results equal the byte-by-byte
// rules (forward moves from the low end, backward moves from the high end).
#ifndef TARNWICK_ROM_EDIT_STEPS_H_
#define TARNWICK_ROM_EDIT_STEPS_H_

#include <cstdint>
#include <optional>
#include <string>

#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// A move of the image's bytes: everything from `from` to the buffer's end moves by `shift`
// (negative: forward, closing the bytes in front; positive: back, opening a gap).
struct Move {
  uint32_t from = 0;
  int32_t shift = 0;
};

// Corrects the data and name addresses of every file entry (except `skip`, the entry an
// operation removes or rewrites itself) whose field lies in the buffer at or behind
// move.from. Returns the number of fields changed.
uint32_t RelocateFileEntries(RomImage& image, const Move& move,
                             std::optional<uint32_t> skip = std::nullopt);

// When the ROM header lies at or behind move.from, adds move.shift to the header's offset and
// address in the signature block and refreshes the second pointer.
void MoveHeaderPointers(RomImage& image, const Move& move);

// Copies the header address at HeaderPointerOffset to SecondPointerOffset, when there is one.
void RefreshSecondPointer(RomImage& image);

// True when the ROM header's "phys last" is the address just behind the image (RomBase +
// ImageLength). Read before an edit changes the length: only then does it follow the length.
[[nodiscard]] bool PhysLastIsImageEnd(const RomImage& image);

// After an edit has changed ImageLength and found the header again: when `follows` (what
// PhysLastIsImageEnd said before the edit), "phys last" becomes RomBase + ImageLength.
void FollowImageEnd(RomImage& image, bool follows);

// Why the image may not grow to `new_length` bytes: the header's "RAM Start" lies at or behind
// the image's end now, and the grown image would reach it. nullopt otherwise (also for an image
// that does not grow, and for a RAM Start below RomBase or inside the image already).
[[nodiscard]] std::optional<Error> CheckRamStart(const RomImage& image, int64_t new_length);

// Everything from start + n to the buffer's end moves forward by n; the last n bytes of the
// buffer take `fill`. Clamped to the buffer.
void CloseGap(RomImage& image, uint32_t start, uint32_t n, uint8_t fill);

// Everything from `start` up to BufferSize - n moves back by n; the last n bytes of the buffer
// are dropped. Clamped to the buffer.
void OpenGap(RomImage& image, uint32_t start, uint32_t n);

}  // namespace rom

#endif  // TARNWICK_ROM_EDIT_STEPS_H_
