// Layout of a precompiled Windows CE registry file ("default.fdf").
//
// A header of two u32 (signature, unused word) is followed by records, one after the other.
// Each record is a 4-byte head (body length, record type) and a body; the next record begins
// directly behind the body, whatever the body holds. All numbers are little-endian.
#ifndef TARNWICK_TOOLS_HIVELORE_REGISTRY_LAYOUT_H_
#define TARNWICK_TOOLS_HIVELORE_REGISTRY_LAYOUT_H_

#include <cstdint>

namespace hivelore {

inline constexpr uint32_t kRegistrySignature = 0x1D8374B2;  // bytes B2 74 83 1D
inline constexpr int64_t kMaxRegistryFileSize = 16777216;   // 16 MiB
inline constexpr int64_t kHeaderSize = 8;                   // signature, header word

// RecordHead, 4 bytes.
namespace head {
inline constexpr uint32_t bodyLength = 0;  // u16: bytes of the body behind the head
inline constexpr uint32_t recordType = 2;  // u16: 1 key, 2 value, others skipped
inline constexpr uint32_t kSize = 4;
static_assert(recordType + 2 == kSize);
}  // namespace head

inline constexpr uint16_t kKeyRecord = 1;
inline constexpr uint16_t kValueRecord = 2;

// KeyRecord body: u16 root, u16 unused, then the path as a wide string.
namespace keyrec {
inline constexpr uint32_t root = 0;    // u16: 0 HKCR, 1 HKCU, 2 HKLM, 3 HKU
inline constexpr uint32_t unused = 2;  // u16
inline constexpr uint32_t path = 4;    // wide string, 0x0000-terminated
}  // namespace keyrec

// The older KeyRecord body found in registries of earlier platform generations: the path's
// length in units (terminator included) and a zero word come before the path. Such a body is
// exactly 6 + 2 * pathLength bytes long.
namespace oldkeyrec {
inline constexpr uint32_t root = 0;        // u16: as in KeyRecord
inline constexpr uint32_t pathLength = 2;  // u16: units of the path, terminator included
inline constexpr uint32_t zero = 4;        // u16: 0
inline constexpr uint32_t path = 6;        // wide string, 0x0000-terminated
inline constexpr uint32_t kFixedSize = 6;
static_assert(zero + 2 == path && path == kFixedSize);
}  // namespace oldkeyrec

// ValueRecord body: u16 type, u16 unused, u16 data length, the name as a wide string, then
// the data directly behind the name's terminator.
namespace valuerec {
inline constexpr uint32_t valueType = 0;   // u16: registry type code
inline constexpr uint32_t unused = 2;      // u16
inline constexpr uint32_t dataLength = 4;  // u16: consulted for types 3 and 7 only
inline constexpr uint32_t name = 6;        // wide string, 0x0000-terminated
}  // namespace valuerec

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_REGISTRY_LAYOUT_H_
