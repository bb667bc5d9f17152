// Editing a file entry's attribute word and real size in place.
#ifndef TARNWICK_ROM_ENTRY_EDIT_H_
#define TARNWICK_ROM_ENTRY_EDIT_H_

#include <cstdint>

#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// Writes dwFileAttributes and nRealFileSize of file entry `entry`; nothing else of the entry
// changes and nothing moves. Refused when the entry does not exist or the tables are not
// listed whole.
[[nodiscard]] Result<Done> SetEntry(RomImage& image, uint32_t entry, uint32_t attributes,
                                    uint32_t real_size);

}  // namespace rom

#endif  // TARNWICK_ROM_ENTRY_EDIT_H_
