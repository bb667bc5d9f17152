// On-disk layout of the parts of a 32-bit PE (PE32) image file that the module rebuild writes.
//
// Field names follow Microsoft's PE/COFF format description: the MS-DOS header with e_lfanew,
// the "PE\0\0" signature, the COFF file header, the PE32 optional header with its 16 data
// directories, and the 40-byte section headers. All fields are little-endian.
#ifndef TARNWICK_ROM_PE_LAYOUT_H_
#define TARNWICK_ROM_PE_LAYOUT_H_

#include <cstdint>

namespace rom {
namespace pe {

// MS-DOS header, 64 bytes; the stub program follows it.
namespace dos {
inline constexpr uint32_t e_magic = 0;      // 16: "MZ"
inline constexpr uint32_t e_cblp = 2;       // 16: bytes on the last 512-byte page
inline constexpr uint32_t e_cp = 4;         // 16: 512-byte pages of the DOS program
inline constexpr uint32_t e_cparhdr = 8;    // 16: header size in 16-byte paragraphs
inline constexpr uint32_t e_maxalloc = 12;  // 16
inline constexpr uint32_t e_sp = 16;        // 16: initial stack pointer
inline constexpr uint32_t e_lfarlc = 24;    // 16: offset of the DOS relocation table
inline constexpr uint32_t e_lfanew = 60;    // 32: offset of the PE signature
inline constexpr uint32_t kSize = 64;
static_assert(e_lfanew + 4 == kSize);
}  // namespace dos
inline constexpr uint16_t kDosMagic = 0x5A4D;         // "MZ"
inline constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"

// COFF file header, 20 bytes, behind the signature.
namespace coff {
inline constexpr uint32_t Machine = 0;                // 16: IMAGE_FILE_MACHINE_*
inline constexpr uint32_t NumberOfSections = 2;       // 16
inline constexpr uint32_t TimeDateStamp = 4;          // 32
inline constexpr uint32_t PointerToSymbolTable = 8;   // 32
inline constexpr uint32_t NumberOfSymbols = 12;       // 32
inline constexpr uint32_t SizeOfOptionalHeader = 16;  // 16
inline constexpr uint32_t Characteristics = 18;       // 16: IMAGE_FILE_*
inline constexpr uint32_t kSize = 20;
static_assert(Characteristics + 2 == kSize);
}  // namespace coff
inline constexpr uint16_t kFileRelocsStripped = 0x0001;  // IMAGE_FILE_RELOCS_STRIPPED

// PE32 optional header, 96 bytes of fields and 16 data directories.
namespace opt {
inline constexpr uint32_t Magic = 0;                         // 16: 0x10B
inline constexpr uint32_t MajorLinkerVersion = 2;            // 8
inline constexpr uint32_t MinorLinkerVersion = 3;            // 8
inline constexpr uint32_t SizeOfCode = 4;                    // 32
inline constexpr uint32_t SizeOfInitializedData = 8;         // 32
inline constexpr uint32_t SizeOfUninitializedData = 12;      // 32
inline constexpr uint32_t AddressOfEntryPoint = 16;          // 32: rva
inline constexpr uint32_t BaseOfCode = 20;                   // 32: rva
inline constexpr uint32_t BaseOfData = 24;                   // 32: rva
inline constexpr uint32_t ImageBase = 28;                    // 32
inline constexpr uint32_t SectionAlignment = 32;             // 32
inline constexpr uint32_t FileAlignment = 36;                // 32
inline constexpr uint32_t MajorOperatingSystemVersion = 40;  // 16
inline constexpr uint32_t MinorOperatingSystemVersion = 42;  // 16
inline constexpr uint32_t MajorImageVersion = 44;            // 16
inline constexpr uint32_t MinorImageVersion = 46;            // 16
inline constexpr uint32_t MajorSubsystemVersion = 48;        // 16
inline constexpr uint32_t MinorSubsystemVersion = 50;        // 16
inline constexpr uint32_t Win32VersionValue = 52;            // 32
inline constexpr uint32_t SizeOfImage = 56;                  // 32
inline constexpr uint32_t SizeOfHeaders = 60;                // 32
inline constexpr uint32_t CheckSum = 64;                     // 32
inline constexpr uint32_t Subsystem = 68;                    // 16
inline constexpr uint32_t DllCharacteristics = 70;           // 16
inline constexpr uint32_t SizeOfStackReserve = 72;           // 32
inline constexpr uint32_t SizeOfStackCommit = 76;            // 32
inline constexpr uint32_t SizeOfHeapReserve = 80;            // 32
inline constexpr uint32_t SizeOfHeapCommit = 84;             // 32
inline constexpr uint32_t LoaderFlags = 88;                  // 32
inline constexpr uint32_t NumberOfRvaAndSizes = 92;          // 32
inline constexpr uint32_t DataDirectory = 96;                // 16 x (32 rva, 32 size)
inline constexpr uint32_t kDirectoryCount = 16;
inline constexpr uint32_t kSize = DataDirectory + kDirectoryCount * 8;
static_assert(NumberOfRvaAndSizes + 4 == DataDirectory);
static_assert(kSize == 224);
}  // namespace opt
inline constexpr uint16_t kPe32Magic = 0x10B;

// Section header, 40 bytes; the section table follows the optional header.
namespace scn {
inline constexpr uint32_t Name = 0;                   // 8 bytes, 0-padded, no 0 when 8 long
inline constexpr uint32_t VirtualSize = 8;            // 32
inline constexpr uint32_t VirtualAddress = 12;        // 32: rva
inline constexpr uint32_t SizeOfRawData = 16;         // 32: bytes in the file, file-aligned
inline constexpr uint32_t PointerToRawData = 20;      // 32: file offset, file-aligned
inline constexpr uint32_t PointerToRelocations = 24;  // 32
inline constexpr uint32_t PointerToLinenumbers = 28;  // 32
inline constexpr uint32_t NumberOfRelocations = 32;   // 16
inline constexpr uint32_t NumberOfLinenumbers = 34;   // 16
inline constexpr uint32_t Characteristics = 36;       // 32: IMAGE_SCN_*
inline constexpr uint32_t kSize = 40;
static_assert(Characteristics + 4 == kSize);
}  // namespace scn

}  // namespace pe
}  // namespace rom

#endif  // TARNWICK_ROM_PE_LAYOUT_H_
