// Writing the image back to a file, flat or as records.
#ifndef TARNWICK_ROM_IMAGE_SAVE_H_
#define TARNWICK_ROM_IMAGE_SAVE_H_

#include <string>

#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// True when `path` asks for the record format: its name ends in ".bin", in any case.
[[nodiscard]] bool NamesRecordFile(const std::string& path);

// What happens to the header of another tool that the image was loaded behind.
enum class WrapperChoice {
  kKeep,  // written in front of the image, byte for byte as loaded
  kDrop,  // the image alone, from its first byte
};

// Refreshes the second header pointer, then writes the image to `path`, whole or not at all:
// the first ImageLength bytes of the buffer, or, for a name ending in ".bin", a "B000FF"
// record file. A flat save of an image loaded behind another tool's header writes that
// header's bytes in front, unchanged, unless `wrapper` says kDrop; so a load and a save
// without an edit give the loaded file again. A record file never carries the wrapper. An
// image read from records and not edited since keeps its records exactly (the same file
// again); otherwise the records cover the image's stretches (bin_cuts.h) and every byte up to
// ImageLength, with the image's own start and launch address (for an image read flat: RomBase
// for both). Nothing loaded is an error, and no file is written then.
[[nodiscard]] Result<Done> SaveImage(RomImage& image, const std::string& path,
                                     WrapperChoice wrapper = WrapperChoice::kKeep);

}  // namespace rom

#endif  // TARNWICK_ROM_IMAGE_SAVE_H_
