// Refusals of edits that would lose or misplace what the image points to.
#include "rom/edit_guard.h"

#include "rom/module_reader.h"
#include "rom/rom_header.h"
#include "rom/rom_layout.h"

namespace rom {

namespace {

bool Intersects(uint64_t a_first, uint64_t a_end, uint64_t b_first, uint64_t b_end) {
  return a_first < b_end && b_first < a_end;
}

std::string ModuleName(const RomImage& image, uint32_t index) {
  return image.ReadRomString(ModuleEntry(image, index)->Get(tocentry::lpszFileName));
}

// The part of a module that cannot be read, by why it cannot: no single section is named.
ModulePart UnreadablePart(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kE32Outside:
    case ErrorKind::kTooManySections:
      return ModulePart::kE32Header;
    case ErrorKind::kO32Outside:
      return ModulePart::kO32Table;
    case ErrorKind::kSectionOutside:
      return ModulePart::kSectionData;
    default:
      return ModulePart::kName;
  }
}

std::optional<Error> CheckModules(const RomImage& image, const EditZone& zone) {
  if (image.ModuleCount() == 0) return std::nullopt;
  const E32Layout layout = DetectE32Layout(image).layout;
  for (uint32_t m = 0; m < image.ModuleCount(); ++m) {
    const Result<std::vector<ModuleStretch>> read = ModuleStretches(image, m, layout);
    if (!read) {
      return Error{.kind = ErrorKind::kModuleUnreadable,
                   .name = ModuleName(image, m),
                   .module_part = UnreadablePart(read.error().kind),
                   .module = m};
    }
    for (const ModuleStretch& st : *read) {
      const uint64_t end = uint64_t{st.offset} + st.length;
      const bool hit =
          zone.moves ? end > zone.first : Intersects(st.offset, end, zone.first, zone.end);
      if (hit) {
        return Error{.kind = ErrorKind::kModuleBehind,
                     .name = ModuleName(image, m),
                     .module_part = st.part,
                     .module = m,
                     .section = st.section,
                     .first = st.offset};
      }
    }
  }
  return std::nullopt;
}

std::optional<Error> CheckProtected(const RomImage& image, const EditZone& zone) {
  struct Part {
    Structure structure;
    uint64_t first;
    uint64_t size;
  };
  const auto sig = static_cast<uint32_t>(image.SignatureOffset());
  const uint64_t header = image.RomHeaderOffset();
  const uint64_t file_table = FileTableAt(header, image.ModuleCount());
  const Part parts[] = {
      {Structure::kSignatureBlock, sig, kSignatureBlockSize},
      {Structure::kSecondPointer, image.SecondPointerOffset(),
       image.SecondPointerOffset() != 0 ? 4u : 0u},
      {Structure::kRomHeader, header, romhdr::kSize},
      {Structure::kModuleTable, ModuleTableAt(header), file_table - ModuleTableAt(header)},
      {Structure::kFileTable, file_table,
       TablesEnd(header, image.ModuleCount(), image.FileCount()) - file_table},
  };
  for (const Part& p : parts) {
    if (p.size != 0 && Intersects(p.first, p.first + p.size, zone.first, zone.end)) {
      return Error{.kind = ErrorKind::kProtected, .structure = p.structure, .first = p.first};
    }
  }
  return std::nullopt;
}

std::optional<Error> CheckFiles(const RomImage& image, const EditZone& zone) {
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    if (zone.entry == i) continue;
    const FileStretch st = FileStretchOf(image, i);
    const uint32_t name_address = FileEntry(image, i)->Get(filesentry::lpszFileName);
    const uint64_t name_end = uint64_t{st.name_offset} + image.RomStringLength(name_address) + 1;
    std::optional<EntryPart> part;
    uint32_t at = 0;
    if (st.data_length != 0 && Intersects(st.data_offset, uint64_t{st.data_offset} + st.data_length,
                                          zone.first, zone.end)) {
      part = EntryPart::kData;
      at = st.data_offset;
    } else if (image.Fits(st.name_offset, 1) &&
               Intersects(st.name_offset, name_end, zone.first, zone.end)) {
      part = EntryPart::kName;
      at = st.name_offset;
    }
    if (part) {
      return Error{.kind = ErrorKind::kEntryInside,
                   .name = image.ReadRomString(name_address),
                   .entry_part = *part,
                   .first = at};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<Error> CheckEdit(const RomImage& image, const EditZone& zone) {
  if (image.SignatureOffset() < 0 || !image.RomHeaderInBuffer()) {
    return Error{.kind = ErrorKind::kNoHeader};
  }
  if (!image.TablesListedWhole()) return Error{.kind = ErrorKind::kTablesNotListed};
  if (auto e = CheckProtected(image, zone)) return e;
  if (auto e = CheckFiles(image, zone)) return e;
  return CheckModules(image, zone);
}

}  // namespace rom
