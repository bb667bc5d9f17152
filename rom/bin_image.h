// Loading a "B000FF" record file (nk.bin style) into the image buffer.
//
// The file is streamed from disk straight into a buffer sized by the flash rules for the
// image's length, so the load copies every data byte once and never holds a second image-sized
// buffer. Every check of the record walk (rom/bin_records.h) runs before the image is
// installed: a refused file leaves no image loaded. What a later save needs to write the same
// file again, the records' layout, comes back with the result.
#ifndef TARNWICK_ROM_BIN_IMAGE_H_
#define TARNWICK_ROM_BIN_IMAGE_H_

#include <optional>
#include <string>

#include "rom/bin_records.h"
#include "rom/rom_image.h"

namespace rom {

// True when the regular file at `path` begins with the "B000FF" sync line. False when it does
// not, or cannot be read (the flat loader then reports why).
[[nodiscard]] bool BeginsWithBinSync(const std::string& path);

// Replaces the image with the record file at `path`: releases the old buffer first, reads and
// checks the file head, allocates the buffer by FlashBufferSize for the image length, reads
// each record's data into it at address - start, and sets every byte no record covers to
// `fill`. ImageLength becomes the file's image length, FileName the path; the result holds the
// records as read (what a later save needs to write the same file again). On any refusal or
// file error nothing is loaded (no buffer, ImageLength 0, FileName empty); the error carries
// the BinError of a refusal, and the buffer's size once it was decided.
[[nodiscard]] Result<LoadedImage> LoadBinImage(RomImage& image, const std::string& path,
                                               FlashChoice flash, uint8_t fill);

}  // namespace rom

#endif  // TARNWICK_ROM_BIN_IMAGE_H_
