// Signature search, header location and the table views.
#include "rom/rom_header.h"

#include <algorithm>

namespace rom {

std::optional<HeaderLocation> LocateRomHeader(RomImage& image) {
  image.ResetLocation();
  if (!image.HasData()) return std::nullopt;

  // Signature search: every dword at a multiple of 4 below ImageLength that lies wholly in the
  // buffer; the first match wins.
  const auto length = static_cast<uint64_t>(std::max(image.ImageLength(), 0));
  std::optional<uint32_t> signature;
  for (uint64_t at = 0; at < length; at += 4) {
    const auto v = image.DwordBE(at);
    if (!v) break;
    if (*v == kRomSignature) {
      signature = static_cast<uint32_t>(at);
      break;
    }
  }
  if (!signature || !image.Fits(*signature, kSignatureBlockSize)) return std::nullopt;
  const uint32_t s = *signature;

  HeaderLocation loc;
  loc.signature_offset = s;
  loc.header_address = *image.Dword(s + kSigHeaderAddress);
  // A header found by the search stands in for a signature block that lacks its offset.
  loc.header_offset = image.Source().header_offset.value_or(*image.Dword(s + kSigHeaderOffset));

  // Second copy of the header address: dwords from S+8 up to the one starting at 0x10000; when
  // S+8 lies beyond that bound, the dword at S+8 alone.
  for (uint64_t at = uint64_t{s} + kSigHeaderOffset;; at += 4) {
    const auto v = image.Dword(at);
    if (!v) break;
    if (*v == loc.header_address) {
      loc.second_pointer = static_cast<uint32_t>(at);
      break;
    }
    if (at + 4 > kSecondPointerLimit) break;
  }

  RomLocation where;
  where.SignatureOffset = static_cast<int32_t>(s);
  where.HeaderPointerOffset = s + kSigHeaderAddress;
  where.SecondPointerOffset = loc.second_pointer;
  where.RomHeaderOffset = loc.header_offset;
  where.RomBase = loc.header_address - loc.header_offset;
  const auto hdr = image.Bytes(loc.header_offset, romhdr::kSize);
  where.RomHeaderInBuffer = hdr.has_value();
  if (!hdr) {
    image.SetLocation(where);
    return loc;
  }
  loc.nummods = bytes::LoadLe32(hdr->data() + romhdr::nummods);
  loc.numfiles = bytes::LoadLe32(hdr->data() + romhdr::numfiles);

  // Tables follow the header directly; only records that lie wholly in the buffer count.
  const auto size = static_cast<uint64_t>(image.BufferSize());
  const uint64_t module_table = ModuleTableAt(loc.header_offset);
  const uint64_t module_fit = module_table <= size ? (size - module_table) / tocentry::kSize : 0;
  const uint64_t modules = std::min<uint64_t>({loc.nummods, module_fit, kMaxTableEntries});
  const uint64_t file_table = FileTableAt(loc.header_offset, loc.nummods);
  const uint64_t file_fit = file_table <= size ? (size - file_table) / filesentry::kSize : 0;
  const uint64_t files = std::min<uint64_t>({loc.numfiles, file_fit, kMaxTableEntries});

  where.ModuleTable = static_cast<uint32_t>(module_table);
  where.ModuleCount = static_cast<uint32_t>(modules);
  where.FileTable = file_table <= size ? static_cast<uint32_t>(file_table) : 0;
  where.FileCount = static_cast<uint32_t>(files);
  where.nummods = loc.nummods;
  where.numfiles = loc.numfiles;
  image.SetLocation(where);
  return loc;
}

namespace {

template <typename View, typename Image>
std::optional<View> Record(Image& image, uint64_t offset, uint32_t size) {
  if constexpr (std::is_const_v<Image>) {
    const auto b = image.Bytes(offset, size);
    if (!b) return std::nullopt;
    return View(*b);
  } else {
    const auto b = image.MutableBytes(offset, size);
    if (!b) return std::nullopt;
    return View(*b);
  }
}

template <typename View, typename Image>
std::optional<View> HeaderOf(Image& image) {
  if (!image.RomHeaderInBuffer()) return std::nullopt;
  return Record<View>(image, image.RomHeaderOffset(), romhdr::kSize);
}

template <typename View, typename Image>
std::optional<View> ModuleOf(Image& image, uint32_t index) {
  if (index >= image.ModuleCount()) return std::nullopt;
  return Record<View>(image, image.ModuleTable() + uint64_t{index} * tocentry::kSize,
                      tocentry::kSize);
}

template <typename View, typename Image>
std::optional<View> FileOf(Image& image, uint32_t index) {
  if (index >= image.FileCount()) return std::nullopt;
  return Record<View>(image, image.FileTable() + uint64_t{index} * filesentry::kSize,
                      filesentry::kSize);
}

}  // namespace

std::optional<RecordView> RomHeaderView(RomImage& image) { return HeaderOf<RecordView>(image); }
std::optional<ConstRecordView> RomHeaderView(const RomImage& image) {
  return HeaderOf<ConstRecordView>(image);
}
std::optional<RecordView> ModuleEntry(RomImage& image, uint32_t index) {
  return ModuleOf<RecordView>(image, index);
}
std::optional<ConstRecordView> ModuleEntry(const RomImage& image, uint32_t index) {
  return ModuleOf<ConstRecordView>(image, index);
}
std::optional<RecordView> FileEntry(RomImage& image, uint32_t index) {
  return FileOf<RecordView>(image, index);
}
std::optional<ConstRecordView> FileEntry(const RomImage& image, uint32_t index) {
  return FileOf<ConstRecordView>(image, index);
}

FileStretch FileStretchOf(const RomImage& image, uint32_t index) {
  const auto e = FileEntry(image, index);
  if (!e) return {};
  const uint32_t comp = e->Get(filesentry::nCompFileSize);
  return {OffsetOf(image, e->Get(filesentry::ulLoadOffset)),
          comp != 0 ? comp : e->Get(filesentry::nRealFileSize),
          OffsetOf(image, e->Get(filesentry::lpszFileName))};
}

int32_t FindFileByOffset(const RomImage& image, uint32_t offset) {
  const uint32_t target = offset + image.RomBase();
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    if (FileEntry(image, i)->Get(filesentry::ulLoadOffset) == target) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

}  // namespace rom
