// Locating the ROM header behind the "ECEC" signature, and views of the header and table entries.
//
// LocateRomHeader sets the image's location. The views work in place on the buffer: a change
// through them is a change of the image. A view exists only for a record that lies wholly in
// the buffer, so its getters and setters need no further checks.
#ifndef TARNWICK_ROM_ROM_HEADER_H_
#define TARNWICK_ROM_ROM_HEADER_H_

#include <cstdint>
#include <optional>
#include <span>

#include "bytes/byte_order.h"
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
// and sets the image's location. Entries that do not lie wholly in the buffer, and entries
// past the listing limit, are not counted in ModuleCount and FileCount. On "not found" the
// location is reset.
[[nodiscard]] std::optional<HeaderLocation> LocateRomHeader(RomImage& image);

// 32-bit fields of a record in place in the buffer.
class ConstRecordView {
 public:
  explicit ConstRecordView(std::span<const uint8_t> bytes) : p_(bytes.data()) {}
  [[nodiscard]] uint32_t Get(uint32_t field) const { return bytes::LoadLe32(p_ + field); }
  [[nodiscard]] uint16_t Get16(uint32_t field) const { return bytes::LoadLe16(p_ + field); }

 private:
  const uint8_t* p_;
};

class RecordView {
 public:
  explicit RecordView(std::span<uint8_t> bytes) : p_(bytes.data()) {}
  [[nodiscard]] uint32_t Get(uint32_t field) const { return bytes::LoadLe32(p_ + field); }
  [[nodiscard]] uint16_t Get16(uint32_t field) const { return bytes::LoadLe16(p_ + field); }
  void Set(uint32_t field, uint32_t v) const { bytes::StoreLe32(p_ + field, v); }

 private:
  uint8_t* p_;
};

// The ROM header, when it lies in the buffer.
[[nodiscard]] std::optional<RecordView> RomHeaderView(RomImage& image);
[[nodiscard]] std::optional<ConstRecordView> RomHeaderView(const RomImage& image);
// Module entry i (TOCentry) and file entry i (FILESentry), for i below the counts.
[[nodiscard]] std::optional<RecordView> ModuleEntry(RomImage& image, uint32_t index);
[[nodiscard]] std::optional<ConstRecordView> ModuleEntry(const RomImage& image, uint32_t index);
[[nodiscard]] std::optional<RecordView> FileEntry(RomImage& image, uint32_t index);
[[nodiscard]] std::optional<ConstRecordView> FileEntry(const RomImage& image, uint32_t index);

// Buffer offset of an address stored in the image (32-bit wrap-around).
[[nodiscard]] inline uint32_t OffsetOf(const RomImage& image, uint32_t address) {
  return address - image.RomBase();
}

// The stored bytes of file entry i: nCompFileSize bytes at its data offset (nRealFileSize
// when nCompFileSize is 0, as the memory map counts them), and its name's offset.
struct FileStretch {
  uint32_t data_offset = 0;  // first byte of the stored bytes
  uint32_t data_length = 0;  // bytes the memory map gives the data
  uint32_t name_offset = 0;  // first byte of the name
};
[[nodiscard]] FileStretch FileStretchOf(const RomImage& image, uint32_t index);

// Index of the first file entry whose stored bytes begin at `offset`, or -1.
[[nodiscard]] int32_t FindFileByOffset(const RomImage& image, uint32_t offset);

}  // namespace rom

#endif  // TARNWICK_ROM_ROM_HEADER_H_
