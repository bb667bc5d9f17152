// Layout of a Windows CE hive registry file ("boot.hv", "default.hv", "user.hv").
//
// A 4 KiB header (signature "EKIM" at offset 8) and a directory of handle tables at 0x1000 are
// followed from 0x5000 to the end of the file by cells packed back to back. Every cell has a
// 12-byte header (type and payload size, a reserved word, its handle) and a payload. Cells
// refer to each other by handle; a handle table turns handle k * 1024 + s into the cell's
// offset. Offsets stored in the file count from 0x5000 ("relative offsets"). The root cell
// heads one list of top-level keys per predefined root; a key heads the lists of its subkeys
// and its values. Lists are linked newest first. All numbers are little-endian.
#ifndef TARNWICK_TOOLS_HIVELORE_HIVE_LAYOUT_H_
#define TARNWICK_TOOLS_HIVELORE_HIVE_LAYOUT_H_

#include <cstdint>

namespace hivelore::hive {

inline constexpr uint32_t kSignature = 0x4D494B45;  // bytes 45 4B 49 4D, "EKIM"
inline constexpr uint32_t kSignatureOffset = 8;     // u32 in the header
inline constexpr uint32_t kDirectoryOffset = 0x1000;
inline constexpr uint32_t kDirectoryEntries = 0x1000;  // u32 each: relative offset of table k
inline constexpr uint32_t kCellAreaOffset = 0x5000;
static_assert(kDirectoryOffset + 4 * kDirectoryEntries == kCellAreaOffset);

// Cell header, 12 bytes, in front of every payload.
namespace cell {
inline constexpr uint32_t typeAndSize = 0;  // u32: bits 28-31 type, bits 0-27 payload size
inline constexpr uint32_t reserved = 4;     // u32: 0
inline constexpr uint32_t handle = 8;       // u32: the cell's handle; a table's number
inline constexpr uint32_t kHeaderSize = 12;
static_assert(handle + 4 == kHeaderSize);
inline constexpr uint32_t kSizeMask = 0x0FFFFFFF;
inline constexpr uint32_t kFreeFlag = 1;  // in the size of a free cell
}  // namespace cell

enum CellType : uint32_t {
  kFreeCell = 0x0,
  kTableCell = 0x2,
  kRootCell = 0xB,
  kKeyCell = 0xC,
  kValueCell = 0xD,
};

// Handle table payload: 1024 slots and the first free slot. A slot in use holds the cell's
// relative offset with bit 0 set; a free slot holds the next free slot in its upper bits.
namespace table {
inline constexpr uint32_t kSlots = 1024;
inline constexpr uint32_t slots = 0;         // u32 [1024]
inline constexpr uint32_t firstFree = 4096;  // u32
inline constexpr uint32_t kPayloadSize = 0x1004;
static_assert(slots + 4 * kSlots == firstFree && firstFree + 4 == kPayloadSize);
inline constexpr uint32_t kInUse = 1;
inline constexpr uint32_t kNextFreeShift = 18;
}  // namespace table

// A reference inside a payload: 0 for none, else a tag in the top nibble and the handle.
inline constexpr uint32_t kReferenceHandleMask = 0x0FFFFFFF;
inline constexpr uint32_t kReferenceTag = 0x20000000;

// Root cell payload (handle 0): the head of the top-level key list of each root.
namespace rootcell {
inline constexpr uint32_t kRoots = 8;
inline constexpr uint32_t lists = 0;  // u32 reference [8]
inline constexpr uint32_t kPayloadSize = 0x20;
static_assert(lists + 4 * kRoots == kPayloadSize);
}  // namespace rootcell

// Key cell payload.
namespace keycell {
inline constexpr uint32_t nextSibling = 0x00;  // u32 reference to a key
inline constexpr uint32_t firstSubkey = 0x04;  // u32 reference to a key
inline constexpr uint32_t firstValue = 0x08;   // u32 reference to a value
inline constexpr uint32_t nameLength = 0x0C;   // u16: UTF-16 units, no terminator
inline constexpr uint32_t flags = 0x0E;        // u16: 0
inline constexpr uint32_t name = 0x10;         // UTF-16LE [nameLength]
static_assert(flags + 2 == name);
}  // namespace keycell

// Value cell payload.
namespace valuecell {
inline constexpr uint32_t nextValue = 0x00;   // u32 reference to a value
inline constexpr uint32_t valueType = 0x04;   // u16: registry type code
inline constexpr uint32_t dataLength = 0x06;  // u16: bytes of data
inline constexpr uint32_t nameLength = 0x08;  // u16: UTF-16 units, no terminator
inline constexpr uint32_t name = 0x0A;        // UTF-16LE [nameLength], then the data
static_assert(nameLength + 2 == name);
}  // namespace valuecell

}  // namespace hivelore::hive

#endif  // TARNWICK_TOOLS_HIVELORE_HIVE_LAYOUT_H_
