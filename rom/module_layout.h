// On-disk layout of a module's headers in the image: the e32_rom header and the o32_rom records.
//
// A module entry (TOCentry) points with ulE32Offset at one e32_rom header and with ulO32Offset at
// e32_objcnt consecutive o32_rom records, one per section. The e32_rom header comes in three
// layouts: images of later platform versions hold an e32_timestamp behind e32_sect14size, older
// ones do not, and those of the year-2000 generation hold neither e32_timestamp nor the
// e32_sect14 pair. Nothing in the header says which; module_reader.h decides it per image. All
// fields are little-endian; offsets are bytes from the start of each record.
#ifndef TARNWICK_ROM_MODULE_LAYOUT_H_
#define TARNWICK_ROM_MODULE_LAYOUT_H_

#include <cstdint>

namespace rom {

// e32_rom: the fields all three layouts share, at the same offsets, up to e32_vsize; the two
// later layouts also share e32_sect14rva and e32_sect14size.
namespace e32rom {
inline constexpr uint32_t e32_objcnt = 0;        // 16: number of o32_rom records
inline constexpr uint32_t e32_imageflags = 2;    // 16: COFF characteristics of the linked file
inline constexpr uint32_t e32_entryrva = 4;      // 32: entry point, relative to e32_vbase
inline constexpr uint32_t e32_vbase = 8;         // 32: address the module was fixed up for
inline constexpr uint32_t e32_subsysmajor = 12;  // 16: subsystem version, major
inline constexpr uint32_t e32_subsysminor = 14;  // 16: subsystem version, minor
inline constexpr uint32_t e32_stackmax = 16;     // 32: stack reserve
inline constexpr uint32_t e32_vsize = 20;        // 32: virtual size of the linked image
inline constexpr uint32_t e32_sect14rva = 24;    // 32: data directory 14 (runtime header), rva
inline constexpr uint32_t e32_sect14size = 28;   // 32: and size (neither in the year-2000 layout)

// e32_unit: 9 (rva, size) pairs, in this order. Each is a PE data directory; the PE index it
// goes to is kUnitDirectory[unit].
inline constexpr uint32_t kUnitCount = 9;
inline constexpr uint32_t kUnitSize = 8;  // 32 rva, 32 size
inline constexpr uint32_t kUnitExport = 0;
inline constexpr uint32_t kUnitImport = 1;
inline constexpr uint32_t kUnitResource = 2;
inline constexpr uint32_t kUnitException = 3;
inline constexpr uint32_t kUnitSecurity = 4;
inline constexpr uint32_t kUnitFixup = 5;
inline constexpr uint32_t kUnitDebug = 6;
inline constexpr uint32_t kUnitImageDescription = 7;
inline constexpr uint32_t kUnitTls = 8;
// PE data directory index of each unit: the first eight keep their place; thread-local storage
// is directory 9 (directory 8, the global pointer, has no unit).
inline constexpr uint32_t kUnitDirectory[kUnitCount] = {0, 1, 2, 3, 4, 5, 6, 7, 9};
inline constexpr uint32_t kSect14Directory = 14;

// Later platform versions: e32_timestamp, then the units, then e32_subsys. 110 bytes of fields
// (a C compiler pads the record to 112, kRecordSize).
namespace with_timestamp {
inline constexpr uint32_t e32_timestamp = 32;  // 32: link time, seconds since 1970 (UTC)
inline constexpr uint32_t e32_unit = 36;       // 9 x (32 rva, 32 size)
inline constexpr uint32_t e32_subsys = 108;    // 16: PE subsystem
inline constexpr uint32_t kSize = 110;
inline constexpr uint32_t kRecordSize = 112;
static_assert(e32_timestamp + 4 == e32_unit);
static_assert(e32_unit + kUnitCount * kUnitSize == e32_subsys);
static_assert(e32_subsys + 2 == kSize);
}  // namespace with_timestamp

// Earlier platform versions: no time stamp. 106 bytes of fields (padded to 108).
namespace without_timestamp {
inline constexpr uint32_t e32_unit = 32;     // 9 x (32 rva, 32 size)
inline constexpr uint32_t e32_subsys = 104;  // 16: PE subsystem
inline constexpr uint32_t kSize = 106;
inline constexpr uint32_t kRecordSize = 108;
static_assert(e32_sect14size + 4 == e32_unit);
static_assert(e32_unit + kUnitCount * kUnitSize == e32_subsys);
static_assert(e32_subsys + 2 == kSize);
}  // namespace without_timestamp

// The year-2000 generation: neither e32_sect14rva/e32_sect14size nor e32_timestamp; the units
// follow e32_vsize directly. 98 bytes of fields (padded to 100).
namespace without_sect14 {
inline constexpr uint32_t e32_unit = 24;    // 9 x (32 rva, 32 size)
inline constexpr uint32_t e32_subsys = 96;  // 16: PE subsystem
inline constexpr uint32_t kSize = 98;
inline constexpr uint32_t kRecordSize = 100;
static_assert(e32_vsize + 4 == e32_unit);
static_assert(e32_unit + kUnitCount * kUnitSize == e32_subsys);
static_assert(e32_subsys + 2 == kSize);
}  // namespace without_sect14
}  // namespace e32rom

// o32_rom, 24 bytes: one section.
namespace o32rom {
inline constexpr uint32_t o32_vsize = 0;      // 32: virtual size of the section
inline constexpr uint32_t o32_rva = 4;        // 32: its rva in the module, relative to e32_vbase
inline constexpr uint32_t o32_psize = 8;      // 32: bytes stored in the image
inline constexpr uint32_t o32_dataptr = 12;   // 32: address of the stored bytes
inline constexpr uint32_t o32_realaddr = 16;  // 32: address where the section lives at run time
inline constexpr uint32_t o32_flags = 20;     // 32: PE section characteristics + platform bits
inline constexpr uint32_t kSize = 24;
static_assert(o32_flags + 4 == kSize);
}  // namespace o32rom

// o32_flags: the PE section characteristics (IMAGE_SCN_*), plus one bit of the platform's own.
// 0x2000 is reserved in the PE format; the image builder sets it on a section whose stored bytes
// are a compressed stream (the page framing of compressed files, in either page coding), whose
// data may end before o32_vsize (the rest is zero). It is the only bit outside PE's meaning seen
// in images (observed flags: 0x60002020, 0x40002040, 0xC0002040, 0xC8002040, 0x48002040, and
// without it 0x60000020, 0xC0000040, 0x40000040), so it is the only bit a rebuilt PE file drops;
// every other bit is kept as the image holds it.
inline constexpr uint32_t kO32Compressed = 0x00002000;
inline constexpr uint32_t kO32PlatformBits = kO32Compressed;

// The PE section characteristics that decide a section's name (IMAGE_SCN_*).
inline constexpr uint32_t kScnCode = 0x00000020;               // IMAGE_SCN_CNT_CODE
inline constexpr uint32_t kScnInitializedData = 0x00000040;    // IMAGE_SCN_CNT_INITIALIZED_DATA
inline constexpr uint32_t kScnUninitializedData = 0x00000080;  // ..._CNT_UNINITIALIZED_DATA
inline constexpr uint32_t kScnMemExecute = 0x20000000;         // IMAGE_SCN_MEM_EXECUTE
inline constexpr uint32_t kScnMemWrite = 0x80000000;           // IMAGE_SCN_MEM_WRITE

}  // namespace rom

#endif  // TARNWICK_ROM_MODULE_LAYOUT_H_
