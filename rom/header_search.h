// Finding the ROM header of an image that sits behind another tool's header, or whose
// signature block lacks the header's offset.
//
// The usual rule takes the header's offset O from the signature block (the dword at G + 8,
// G being the signature's position) and RomBase = A - O, A being the header's address at
// G + 4. Two kinds of real files break it: a flat image behind a header of some other tool
// (all buffer offsets are then off by that header's size), and a signature block whose dword
// at G + 8 is 0 while A is right. Both show up as a header that is not plausible where the
// rule puts it. The image then usually starts at S = G - 0x40 (the signature's place in a
// Windows CE image), and its header is the one whose "phys first" (the address of the image's
// first byte) equals A - (H - S), H being the header's position in the buffer: an image that
// starts at S holds its header at offset H - S, so the address of the image's first byte is A
// minus that offset.
#ifndef TARNWICK_ROM_HEADER_SEARCH_H_
#define TARNWICK_ROM_HEADER_SEARCH_H_

#include <cstdint>
#include <optional>
#include <span>

namespace rom {

// A header found by the search.
struct FoundHeader {
  uint32_t image_start = 0;    // S: buffer offset of the image's first byte
  uint32_t header_offset = 0;  // H - S: the header's offset in the image
  uint32_t rom_base = 0;       // A - (H - S): address of the image's first byte

  bool operator==(const FoundHeader&) const = default;
};

// Most table entries the search examines over all candidates together; a buffer that needs
// more is left to the usual rule. A real header is found within its own few hundred entries.
inline constexpr uint32_t kMaxSearchEntries = 1u << 22;

// True when the ROMHDR at buffer position `header_pos`, read with `rom_base` as the address of
// buffer position `image_start`, is plausible:
//  - its 84 bytes, its module table and its file table lie in the buffer, with at most
//    kMaxTableEntries entries each;
//  - its "phys first" <= its own address (rom_base + header_pos - image_start) < "phys last";
//  - the name of every module and file entry begins in the buffer at or behind image_start.
// `budget`, when given, is lowered by the entries examined; the test fails when it runs out.
[[nodiscard]] bool HeaderIsPlausible(std::span<const uint8_t> buffer, uint32_t image_start,
                                     uint32_t header_pos, uint32_t rom_base,
                                     uint64_t* budget = nullptr);

// With the signature at buffer position `signature_offset` (G):
//  1. when the header that the usual rule locates (at the offset stored at G + 8, RomBase =
//     A - that offset) is plausible, nullopt: the usual rule stands;
//  2. otherwise, S = G - 0x40; one pass over the 4-aligned positions H from S on whose header
//     lies in the first `image_length` bytes of the buffer takes the first H with the dword at
//     H + 8 equal to A - (H - S) whose header is plausible with RomBase = A - (H - S);
//  3. nullopt when there is none (G below 0x40, no candidate plausible, the signature block
//     outside the buffer, or the search's entry budget spent): the usual rule stands.
// Reads only the buffer and changes nothing.
[[nodiscard]] std::optional<FoundHeader> SearchWrappedHeader(std::span<const uint8_t> buffer,
                                                             uint32_t image_length,
                                                             uint32_t signature_offset);

}  // namespace rom

#endif  // TARNWICK_ROM_HEADER_SEARCH_H_
