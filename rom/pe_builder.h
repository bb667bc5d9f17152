// Rebuilding a module of the image as a 32-bit PE file, for analysis and resource extraction.
//
// The image keeps a module as its e32_rom header (the essentials of the PE headers), its o32_rom
// records (the section table) and the sections' bytes, stored or compressed. The rebuild writes
// them back into the PE layout: MS-DOS header and stub, PE signature, COFF header, PE32 optional
// header, section table and the section data at file-aligned positions.
//
// What a rebuilt module cannot take from the image, and what it therefore is not:
//  - The image builder fixed the module up for its place in the image and dropped its
//    relocations (the fixup unit mostly points at nothing stored), so the code only runs at
//    e32_vbase; the file is marked "relocations stripped" when no fixup data is kept.
//  - Writable sections run from o32_realaddr in RAM, where the code addresses them; the file
//    keeps them at their o32_rva (see the placement rule in pe_builder.cpp).
//  - Imports were bound to the other modules of the image, the certificate table, linker and
//    image versions, heap sizes and the checksum are not kept (they are written as documented in
//    pe_builder.cpp).
// So the file is for disassemblers, PE viewers and resource extractors, not for running on
// another system.
#ifndef TARNWICK_ROM_PE_BUILDER_H_
#define TARNWICK_ROM_PE_BUILDER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rom/decompressor.h"
#include "rom/module_reader.h"
#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// Largest PE file the rebuild makes. Real modules are a few MiB; a larger result comes from
// damaged sizes and is refused rather than allocated (and written: a few bytes of hostile
// headers could otherwise claim this much zero fill for every module of an image).
inline constexpr uint64_t kMaxPeFileSize = uint64_t{1} << 26;

// The ROM header's usCPUType: an IMAGE_FILE_MACHINE_* value as it stands (0x01C2 THUMB for the
// ARMv4I images, 0x014C for x86, 0x0166 MIPS, 0x01A6 SH-4 ...), so it is the PE machine field
// unchanged. nullopt when the ROM header does not lie in the buffer.
[[nodiscard]] std::optional<uint16_t> RomCpuType(const RomImage& image);

// One section as the rebuilt file holds it.
struct PeSection {
  uint32_t section_index = 0;  // position in the module's o32_rom table
  std::string name;            // at most 8 characters
  uint32_t rva = 0;            // VirtualAddress in the file
  uint32_t virtual_size = 0;   // o32_vsize
  uint32_t raw_offset = 0;     // PointerToRawData (0 when nothing is stored)
  uint32_t raw_size = 0;       // SizeOfRawData, file-aligned
  uint32_t characteristics = 0;
  bool moved = false;  // placed away from its o32_rva, because that range was taken
};

struct PeFile {
  std::vector<uint8_t> bytes;
  std::vector<PeSection> sections;  // in section-table order (ascending rva)
  // What the log shows: one line per section (name, rvas, sizes, where the section lives at run
  // time), then every section moved and every directory left empty, with the reason.
  std::vector<std::string> log;
};

// Rebuilds `module` (read from `image` by ReadModule) as a PE file for machine `cpu_type`.
// Compressed sections (o32_flags 0x2000) are decoded through `decompress` into o32_vsize bytes.
// Reads the image only. On bad input an error (kNoSections, kStoredBytesGone, kNoDecompressor,
// kCorruptSection, kPeTooLarge, kNoRoom; `section` where one section is the cause) whose message
// names the module, the section and why; nothing is read or written outside the buffer or the
// output.
[[nodiscard]] Result<PeFile> BuildPeFile(const RomImage& image, const ModuleInfo& module,
                                         uint16_t cpu_type, const Decompressor& decompress);

}  // namespace rom

#endif  // TARNWICK_ROM_PE_BUILDER_H_
