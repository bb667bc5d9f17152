// The steps from which deletion, addition and replacement are built.
//
// Entries and the signature block are corrected where they stand before the data moves, and
// then move with it. Every move stays inside the buffer; the results equal the byte-by-byte
// rules (forward moves from the low end, backward moves from the high end).
#ifndef TARNWICK_ROM_EDIT_STEPS_H_
#define TARNWICK_ROM_EDIT_STEPS_H_

#include <cstdint>

#include "rom/analysis.h"
#include "rom/rom_image.h"

namespace rom {

// Data offset (ulLoadOffset - RomBase) and name offset of file entry i, as signed numbers: an
// address below RomBase gives a negative offset.
[[nodiscard]] int32_t FileDataOffset(RomImage& image, uint32_t index);
[[nodiscard]] int32_t FileNameOffset(RomImage& image, uint32_t index);

// For each file entry: a data offset greater than `threshold` moves by `shift`, and separately
// a name offset greater than it. Negative offsets never move. Returns the fields changed.
uint32_t RelocateFileEntries(RomImage& image, uint32_t threshold, int32_t shift);

// When the ROM header lies behind `threshold`, adds `shift` to the header's offset and address
// in the signature block and refreshes the second pointer.
void MoveHeaderPointers(RomImage& image, uint32_t threshold, int32_t shift);

// Copies the header address at HeaderPointerOffset to SecondPointerOffset, when there is one.
void RefreshSecondPointer(RomImage& image);

// Everything from start + n to the buffer's end moves forward by n; the last n bytes of the
// buffer take `fill`. Clamped to the buffer.
void CloseGap(RomImage& image, uint32_t start, uint32_t n, uint8_t fill);

// Everything from `start` up to BufferSize - n moves back by n; the last n bytes of the buffer
// are dropped. Clamped to the buffer.
void OpenGap(RomImage& image, uint32_t start, uint32_t n);

// Runs the analysis and returns the index to select again: `selected`, or -1 when the new map
// is shorter.
int64_t ReanalyseKeepingSelection(RomImage& image, RomLists& lists, int64_t selected);

// "Delta= ... geänderte Direntries= ... Base= ..." after a deletion.
[[nodiscard]] std::string DeletionStatus(uint32_t delta, uint32_t count, uint32_t rom_base);

}  // namespace rom

#endif  // TARNWICK_ROM_EDIT_STEPS_H_
