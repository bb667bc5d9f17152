// On-disk layout of the "B000FF" record files (nk.bin style) that boot loaders download.
//
// A record file is a head (the sync line "B000FF" and a line feed, the image's start address
// and length) followed by records: each a 12-byte head (address, length, checksum) and its
// data bytes. Records may come in any order of address and need not touch. The last record has
// address 0 and checksum 0 and carries the image's launch address in its length field; nothing
// follows it. All fields are little-endian; offsets are bytes from the start of each structure.
#ifndef TARNWICK_ROM_BIN_LAYOUT_H_
#define TARNWICK_ROM_BIN_LAYOUT_H_

#include <cstdint>

namespace rom {

// File head, at file offset 0.
namespace binhead {
inline constexpr uint8_t kSync[7] = {'B', '0', '0', '0', 'F', 'F', '\n'};  // 7 bytes
inline constexpr uint32_t kSyncSize = 7;
inline constexpr uint32_t ImageStart = 7;    // 32: address of the image's first byte
inline constexpr uint32_t ImageLength = 11;  // 32: bytes from ImageStart to the image's end
inline constexpr uint32_t kSize = 15;
static_assert(kSyncSize == sizeof kSync && ImageStart == kSyncSize);
static_assert(ImageLength + 4 == kSize);
}  // namespace binhead

// Record head, followed by Length data bytes.
namespace binrecord {
inline constexpr uint32_t Address = 0;   // 32: address of the first data byte; 0 ends the file
inline constexpr uint32_t Length = 4;    // 32: number of data bytes; in the end record the
                                         //     launch address
inline constexpr uint32_t Checksum = 8;  // 32: sum of the data bytes modulo 2^32; 0 in the end
                                         //     record
inline constexpr uint32_t kSize = 12;
static_assert(Checksum + 4 == kSize);
}  // namespace binrecord

// Most data records a file may hold. The platform's image builder writes one record per
// section (hundreds to a few thousand); the cap keeps a file of millions of empty records from
// costing gigabytes of bookkeeping.
inline constexpr uint32_t kMaxBinRecords = 1u << 20;

}  // namespace rom

#endif  // TARNWICK_ROM_BIN_LAYOUT_H_
