// On-disk layout of the Windows CE ROM structures inside a flat *.nb0 image.
//
// The signature block leads to the ROM header (ROMHDR); the module table (TOCentry records)
// follows the header directly, the file table (FILESentry records) follows the module table.
// All fields are little-endian; offsets below are bytes from the start of each structure.
#ifndef TARNWICK_ROM_ROM_LAYOUT_H_
#define TARNWICK_ROM_ROM_LAYOUT_H_

#include <array>
#include <cstdint>

namespace rom {

// Signature block at SignatureOffset S (a multiple of 4).
inline constexpr uint32_t kRomSignature = 0x45434543;  // "ECEC" read big-endian
inline constexpr uint32_t kSigHeaderAddress = 4;       // 32: address of the ROM header
inline constexpr uint32_t kSigHeaderOffset = 8;        // 32: offset of the ROM header
inline constexpr uint32_t kSignatureBlockSize = 12;
// The second copy of the header address is searched up to the dword starting here.
inline constexpr uint32_t kSecondPointerLimit = 0x10000;
// Most entries of one table that the tools list and act on. Real images hold a few hundred
// modules and a few thousand files; a hostile count of millions would cost minutes and
// gigabytes of lines.
inline constexpr uint32_t kMaxTableEntries = 65536;

// ROMHDR, 84 bytes.
namespace romhdr {
inline constexpr uint32_t dllfirst = 0;          // 32
inline constexpr uint32_t dlllast = 4;           // 32
inline constexpr uint32_t physfirst = 8;         // 32
inline constexpr uint32_t physlast = 12;         // 32
inline constexpr uint32_t nummods = 16;          // 32: number of TOCentry records
inline constexpr uint32_t ulRAMStart = 20;       // 32
inline constexpr uint32_t ulRAMFree = 24;        // 32
inline constexpr uint32_t ulRAMEnd = 28;         // 32
inline constexpr uint32_t ulCopyEntries = 32;    // 32
inline constexpr uint32_t ulCopyOffset = 36;     // 32
inline constexpr uint32_t ulProfileLen = 40;     // 32
inline constexpr uint32_t ulProfileOffset = 44;  // 32
inline constexpr uint32_t numfiles = 48;         // 32: number of FILESentry records
inline constexpr uint32_t ulKernelFlags = 52;    // 32
inline constexpr uint32_t ulFSRamPercent = 56;   // 32
inline constexpr uint32_t ulDrivglobStart = 60;  // 32
inline constexpr uint32_t ulDrivglobLen = 64;    // 32
inline constexpr uint32_t usCPUType = 68;        // 16
inline constexpr uint32_t usMiscFlags = 70;      // 16
inline constexpr uint32_t pExtensions = 72;      // 32
inline constexpr uint32_t ulTrackingStart = 76;  // 32
inline constexpr uint32_t ulTrackingLen = 80;    // 32
inline constexpr uint32_t kSize = 84;
static_assert(ulTrackingLen + 4 == kSize);
}  // namespace romhdr

// TOCentry, 32 bytes: one module.
namespace tocentry {
inline constexpr uint32_t dwFileAttributes = 0;  // 32: attribute bits
inline constexpr uint32_t ftTime = 4;            // 64: FILETIME, low dword first
inline constexpr uint32_t nFileSize = 12;        // 32: size of the module
inline constexpr uint32_t lpszFileName = 16;     // 32: address of the name
inline constexpr uint32_t ulE32Offset = 20;      // 32: address of the e32_rom header
inline constexpr uint32_t ulO32Offset = 24;      // 32: address of the o32_rom headers
inline constexpr uint32_t ulLoadOffset = 28;     // 32: load address, listed unconverted
inline constexpr uint32_t kSize = 32;
static_assert(ulLoadOffset + 4 == kSize);
}  // namespace tocentry

// FILESentry, 28 bytes: one file.
namespace filesentry {
inline constexpr uint32_t dwFileAttributes = 0;  // 32: attribute bits
inline constexpr uint32_t ftTime = 4;            // 64: FILETIME, low dword first
inline constexpr uint32_t nRealFileSize = 12;    // 32: size after decompression
inline constexpr uint32_t nCompFileSize = 16;    // 32: bytes stored in the image
inline constexpr uint32_t lpszFileName = 20;     // 32: address of the name
inline constexpr uint32_t ulLoadOffset = 24;     // 32: address of the stored bytes
inline constexpr uint32_t kSize = 28;
static_assert(ulLoadOffset + 4 == kSize);
}  // namespace filesentry

// Where the tables of a ROM header at `header_offset` lie: the module table (TOCentry records)
// follows the header directly, the file table (FILESentry records) follows the module table.
// 64-bit offsets, so that no count read from an image can wrap them.
[[nodiscard]] constexpr uint64_t ModuleTableAt(uint64_t header_offset) {
  return header_offset + romhdr::kSize;
}
[[nodiscard]] constexpr uint64_t FileTableAt(uint64_t header_offset, uint64_t modules) {
  return ModuleTableAt(header_offset) + modules * tocentry::kSize;
}
// Just behind the file table.
[[nodiscard]] constexpr uint64_t TablesEnd(uint64_t header_offset, uint64_t modules,
                                           uint64_t files) {
  return FileTableAt(header_offset, modules) + files * filesentry::kSize;
}

// Attribute bits of dwFileAttributes that the tools name.
inline constexpr uint32_t kAttrCompressed = 0x800;  // C
inline constexpr uint32_t kAttrHidden = 0x002;      // H
inline constexpr uint32_t kAttrRom = 0x001;         // R
inline constexpr uint32_t kAttrSystem = 0x004;      // S
// The four in the order the tools show them: C, H, R, S.
inline constexpr std::array<uint32_t, 4> kNamedAttributes = {kAttrCompressed, kAttrHidden, kAttrRom,
                                                             kAttrSystem};
inline constexpr uint32_t kAttrNamedMask = kAttrCompressed | kAttrHidden | kAttrRom | kAttrSystem;

}  // namespace rom

#endif  // TARNWICK_ROM_ROM_LAYOUT_H_
