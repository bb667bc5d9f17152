// Opening an image as users have it: a flat *.nb0 file, a "B000FF" record file, or a flat
// image behind another tool's header.
#ifndef TARNWICK_ROM_IMAGE_OPEN_H_
#define TARNWICK_ROM_IMAGE_OPEN_H_

#include <string>

#include "rom/rom_image.h"

namespace rom {

// Loads `path` into `image`: a file that begins with the "B000FF" line is read as records
// and laid into the buffer, anything else is read flat. When the header the signature block
// points to is not plausible, the real one is searched (header_search.h): a wrapper in front
// of the image is dropped from the buffer (its bytes at the end take `fill`) and kept in the
// image's source, so that a save can write it in front again; and a header
// found without the signature block's offset is remembered for every later analysis. The
// image's source says which of these happened.
[[nodiscard]] Result<LoadedImage> OpenImage(RomImage& image, const std::string& path,
                                            FlashChoice flash, uint8_t fill);

}  // namespace rom

#endif  // TARNWICK_ROM_IMAGE_OPEN_H_
