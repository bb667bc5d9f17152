// Adding a file in front of the ROM header, and replacing a file's stored bytes.
//
// Both store the bytes they are given: what a compressed entry's stream is made of is decided
// before (stored_form.h).
#ifndef TARNWICK_ROM_ADD_REPLACE_H_
#define TARNWICK_ROM_ADD_REPLACE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// The name an added file gets in the image: the path's text after its last "\", ":" or "/",
// in Windows-1252. Refused when the name is empty, is not valid UTF-8, holds a control
// character (it would break the lists' lines) or a character Windows-1252 cannot hold.
[[nodiscard]] Result<std::string> EntryNameFromPath(const std::string& path);

// Something lies behind the file table, where the new entry goes: the offset just behind the
// table and ImageLength, for the warning "A: ... BLen: ...". nullopt when the table ends the
// image.
struct TableEndWarning {
  uint32_t table_end = 0;
  uint32_t image_length = 0;
};
[[nodiscard]] std::optional<TableEndWarning> CheckTableEnd(const RomImage& image);
// "A: 0000112C BLen: 00001200".
[[nodiscard]] std::string Describe(const TableEndWarning& warning);

// Inserts `name` (Windows-1252, from EntryNameFromPath) and `bytes` directly in front of the
// ROM header, appends a file entry (attributes R, the creation `time` as a FILETIME) and moves
// the header block with everything behind it back; file entries whose data or name lie at or
// behind the header are corrected, and the header's "phys last" follows the image's end where
// it marked it. Refused when the result does not fit the buffer or would reach the header's
// RAM Start, when data behind the file table would be overwritten by the new entry, or when a
// module lies behind the header.
[[nodiscard]] Result<Done> AddFile(RomImage& image, const std::string& name,
                                   std::span<const uint8_t> bytes, uint64_t time);

// Where a file's new bytes go (PlanReplace in row_actions.h reads it from a memory-map row).
struct ReplacePlan {
  uint32_t entry = 0;               // the file entry of the row
  uint32_t start = 0;               // S, first byte of the file's stored bytes
  uint32_t next_start = 0;          // start of the next stretch (a small gap's bytes count as room)
  int32_t room = 0;                 // next_start - S
  bool fixed_block_behind = false;  // nothing behind may move
};

struct Replacement {
  bool gap_left = false;  // a fixed block follows and the new bytes left a rest of the room
  bool in_place = false;  // something behind may not move: the bytes went into the old room
  std::string module;     // the module behind that kept them there (Windows-1252), if any
};

// Puts the stored bytes `bytes` in the place of the plan's file. When something behind it may
// not move (a fixed block, or anything of a module: its name, e32_rom, o32_rom records or
// section data), the bytes go into the file's room, whose rest takes `fill`, and bytes longer
// than the room are refused, naming what stands behind. Otherwise what follows moves
// by the difference, and the ROM header's "phys last" follows the image's end where it marked
// it. Only the plan's entry gets the new sizes: nCompFileSize the bytes' length, nRealFileSize
// `real_size` (default: the same). Refused with the image unchanged when the result would not
// fit the buffer or would reach the header's RAM Start.
[[nodiscard]] Result<Replacement> ReplaceFile(RomImage& image, const ReplacePlan& plan,
                                              std::span<const uint8_t> bytes, uint8_t fill,
                                              std::optional<uint32_t> real_size = std::nullopt);

}  // namespace rom

#endif  // TARNWICK_ROM_ADD_REPLACE_H_
