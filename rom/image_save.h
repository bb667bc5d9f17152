// Writing the image back to a file.
#ifndef TARNWICK_ROM_IMAGE_SAVE_H_
#define TARNWICK_ROM_IMAGE_SAVE_H_

#include <optional>
#include <string>

#include "fileio/file_io.h"
#include "rom/rom_image.h"

namespace rom {

// Refreshes the second header pointer, then writes the first ImageLength bytes of the buffer
// to `path`, whole or not at all. Nothing loaded: an error, and no file is written.
[[nodiscard]] std::optional<std::string> SaveImage(RomImage& image, const std::string& path);

}  // namespace rom

#endif  // TARNWICK_ROM_IMAGE_SAVE_H_
