// Deleting a file or a block: remove a stretch and move everything behind it forward.
#ifndef TARNWICK_ROM_DELETE_H_
#define TARNWICK_ROM_DELETE_H_

#include <cstdint>
#include <string>

#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// What a deletion did: `delta` bytes left the image; `count` entry fields were corrected.
struct Removal {
  uint32_t delta = 0;
  uint32_t count = 0;
  uint32_t rom_base = 0;
};
// "Delta= 18 geänderte Direntries= 4 Base= 80000000".
[[nodiscard]] std::string Describe(const Removal& removal);

// Deletes file entry `entry`: its stored bytes (rounded up from the last byte to a multiple
// of 4, but never into the next stretch), its name when that lies directly in front of the
// data, and its table entry; everything behind moves forward and the buffer's end takes
// `fill`. Refused (nothing changed) when the edit would lose or misplace anything else.
[[nodiscard]] Result<Removal> DeleteFile(RomImage& image, uint32_t entry, uint8_t fill);

// Why DeleteFile of `entry` would be refused, without changing anything; nullopt when it
// would be done.
[[nodiscard]] std::optional<Error> CheckDeleteFile(const RomImage& image, uint32_t entry);

// Deletes the stretch [first, last] (a fixed block of the memory map); the file table keeps
// its entries.
[[nodiscard]] Result<Removal> DeleteBlock(RomImage& image, uint32_t first, uint32_t last,
                                          uint8_t fill);

}  // namespace rom

#endif  // TARNWICK_ROM_DELETE_H_
