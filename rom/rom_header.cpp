// Signature search, header location and the table views.
#include "rom/rom_header.h"

#include <algorithm>

namespace rom {

std::optional<HeaderLocation> LocateRomHeader(RomImage& image) {
  image.ResetDerived();
  if (!image.HasData()) return std::nullopt;

  // Signature search: every dword at a multiple of 4 below ImageLength; the first match wins.
  image.Cursor = 0;
  bool found = false;
  while (true) {
    const auto v = image.ReadDwordBE(4);
    if (!v) break;
    if (*v == kRomSignature) {
      found = true;
      break;
    }
    if (image.Cursor >= image.ImageLength) break;
  }
  const auto s = static_cast<uint32_t>(image.Cursor - 4);
  if (!found || !image.Fits(s, kSignatureBlockSize)) return std::nullopt;

  HeaderLocation loc;
  loc.signature_offset = s;
  loc.header_address = *image.ReadDword(4);

  // Second copy of the header address: dwords from S+8 up to the one starting at 0x10000; when
  // S+8 lies beyond that bound, the dword at S+8 alone.
  image.Cursor = static_cast<int32_t>(s + kSigHeaderOffset);
  while (true) {
    const auto v = image.ReadDword(4);
    if (!v) break;
    if (*v == loc.header_address) {
      loc.second_pointer = static_cast<uint32_t>(image.Cursor - 4);
      break;
    }
    if (static_cast<uint32_t>(image.Cursor) > kSecondPointerLimit) break;
  }

  image.Cursor = static_cast<int32_t>(s + kSigHeaderOffset);
  loc.header_offset = *image.ReadDword(4);

  image.SignatureOffset = static_cast<int32_t>(s);
  image.HeaderPointerOffset = s + kSigHeaderAddress;
  image.SecondPointerOffset = loc.second_pointer;
  image.RomHeaderOffset = loc.header_offset;
  image.RomBase = loc.header_address - loc.header_offset;
  image.RomHeaderInBuffer = image.Fits(loc.header_offset, romhdr::kSize);
  if (!image.RomHeaderInBuffer) return loc;

  const uint8_t* hdr = image.Data() + loc.header_offset;
  loc.nummods = LoadLe32(hdr + romhdr::nummods);
  loc.numfiles = LoadLe32(hdr + romhdr::numfiles);

  // Tables follow the header directly; only records that lie wholly in the buffer count.
  const uint64_t size = static_cast<uint64_t>(image.BufferSize);
  const uint64_t module_table = uint64_t{loc.header_offset} + romhdr::kSize;
  const uint64_t module_fit = module_table <= size ? (size - module_table) / tocentry::kSize : 0;
  const uint64_t modules = std::min<uint64_t>({loc.nummods, module_fit, kMaxTableEntries});
  const uint64_t file_table = module_table + uint64_t{tocentry::kSize} * loc.nummods;
  const uint64_t file_fit = file_table <= size ? (size - file_table) / filesentry::kSize : 0;
  const uint64_t files = std::min<uint64_t>({loc.numfiles, file_fit, kMaxTableEntries});

  image.ModuleTable = static_cast<uint32_t>(module_table);
  image.ModuleCount = static_cast<uint32_t>(modules);
  image.FileTable = file_table <= size ? static_cast<uint32_t>(file_table) : 0;
  image.FileCount = static_cast<uint32_t>(files);
  return loc;
}

std::optional<RecordView> RomHeaderView(RomImage& image) {
  if (!image.RomHeaderInBuffer) return std::nullopt;
  return RecordView(image.Data() + image.RomHeaderOffset);
}

std::optional<RecordView> ModuleEntry(RomImage& image, uint32_t index) {
  if (index >= image.ModuleCount) return std::nullopt;
  return RecordView(image.Data() + image.ModuleTable + size_t{index} * tocentry::kSize);
}

std::optional<RecordView> FileEntry(RomImage& image, uint32_t index) {
  if (index >= image.FileCount) return std::nullopt;
  return RecordView(image.Data() + image.FileTable + size_t{index} * filesentry::kSize);
}

int32_t FindFileByOffset(RomImage& image, uint32_t offset) {
  const uint32_t target = offset + image.RomBase;
  for (uint32_t i = 0; i < image.FileCount; ++i) {
    if (FileEntry(image, i)->Get(filesentry::ulLoadOffset) == target) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

}  // namespace rom
