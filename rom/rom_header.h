// Locating the ROM header behind the "ECEC" signature, and views of the header and table entries.
//
// LocateRomHeader fills the derived fields of RomImage. The views work in place on the buffer:
// a change through them is a change of the image. A view exists only for a record that lies
// wholly in the buffer, so its getters and setters need no further checks.
#ifndef TARNWICK_ROM_ROM_HEADER_H_
#define TARNWICK_ROM_ROM_HEADER_H_

#include <cstdint>
#include <optional>

#include "rom/byte_order.h"
#include "rom/rom_image.h"
#include "rom/rom_layout.h"

namespace rom {

// What LocateRomHeader found, for the analysis log.
struct HeaderLocation {
  uint32_t signature_offset = 0;  // S
  uint32_t header_address = 0;    // A, the dword at S+4
  uint32_t header_offset = 0;     // O, the dword at S+8
  uint32_t second_pointer = 0;    // offset of the second copy of A, 0 when none
  uint32_t nummods = 0;           // counts as the header stores them (0 when not readable)
  uint32_t numfiles = 0;
};

// Searches the signature at offsets 0, 4, 8, ... below ImageLength (only dwords that lie
// wholly in the buffer), then the second header pointer from S+8 up to the dword at 0x10000,
// and sets the derived fields. Entries that do not lie wholly in the buffer are not counted in
// ModuleCount and FileCount. On "not found" the derived fields are reset.
[[nodiscard]] std::optional<HeaderLocation> LocateRomHeader(RomImage& image);

// A 32-bit field of a record in place in the buffer.
class RecordView {
 public:
  explicit RecordView(uint8_t* p) : p_(p) {}
  [[nodiscard]] uint32_t Get(uint32_t field) const { return LoadLe32(p_ + field); }
  void Set(uint32_t field, uint32_t v) const { StoreLe32(p_ + field, v); }
  [[nodiscard]] uint8_t* Bytes() const { return p_; }

 private:
  uint8_t* p_;
};

// The ROM header, when it lies in the buffer.
[[nodiscard]] std::optional<RecordView> RomHeaderView(RomImage& image);
// Module entry i (TOCentry) and file entry i (FILESentry), for i below the counts.
[[nodiscard]] std::optional<RecordView> ModuleEntry(RomImage& image, uint32_t index);
[[nodiscard]] std::optional<RecordView> FileEntry(RomImage& image, uint32_t index);

// Buffer offset of an address stored in the image (32-bit wrap-around).
[[nodiscard]] inline uint32_t OffsetOf(const RomImage& image, uint32_t address) {
  return address - image.RomBase;
}

// Index of the first file entry whose stored bytes begin at `offset`, or -1.
[[nodiscard]] int32_t FindFileByOffset(RomImage& image, uint32_t offset);

}  // namespace rom

#endif  // TARNWICK_ROM_ROM_HEADER_H_
