// The checks every editing operation passes before it changes a byte.
//
// An edit removes or overwrites a stretch of the image and may move everything behind it.
// It is refused when it would lose or misplace something the image points to: an entry that
// is not listed (and so would not be corrected), the signature block, the header and its
// tables, another file's bytes or name, or anything of a module (modules run in place and
// never move).
#ifndef TARNWICK_ROM_EDIT_GUARD_H_
#define TARNWICK_ROM_EDIT_GUARD_H_

#include <cstdint>
#include <optional>

#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// What an operation touches: the bytes [first, end) are removed or overwritten, and with
// `moves` everything from `first` on changes its place. `entry` is the file entry the
// operation removes or rewrites itself: its own bytes and name may lie in the stretch.
struct EditZone {
  uint32_t first = 0;
  uint32_t end = 0;
  bool moves = false;
  std::optional<uint32_t> entry;
};

// nullopt when the edit may go on; otherwise why not.
[[nodiscard]] std::optional<Error> CheckEdit(const RomImage& image, const EditZone& zone);

}  // namespace rom

#endif  // TARNWICK_ROM_EDIT_GUARD_H_
