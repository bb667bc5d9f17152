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

// A module's part as the refusal names it.
std::string PartName(const ModuleStretch& stretch) {
  switch (stretch.part) {
    case ModulePart::kName:
      return "Name";
    case ModulePart::kE32Header:
      return "e32_rom";
    case ModulePart::kO32Table:
      return "o32_rom";
    case ModulePart::kSectionData:
      break;
  }
  return "Sektion " + std::to_string(stretch.section.value_or(0));
}

std::string UnreadablePart(ModuleProblemKind kind) {
  switch (kind) {
    case ModuleProblemKind::kNoSuchModule:
    case ModuleProblemKind::kNameOutside:
      return "Name";
    case ModuleProblemKind::kE32Outside:
    case ModuleProblemKind::kTooManySections:
      return "e32_rom";
    case ModuleProblemKind::kO32Outside:
      return "o32_rom";
    case ModuleProblemKind::kSectionOutside:
      break;
  }
  return "Sektionsdaten";
}

std::optional<EditError> CheckModules(const RomImage& image, const EditZone& zone) {
  if (image.ModuleCount() == 0) return std::nullopt;
  const E32Layout layout = DetectE32Layout(image).layout;
  for (uint32_t m = 0; m < image.ModuleCount(); ++m) {
    const ModuleStretchesResult read = ModuleStretches(image, m, layout);
    if (read.problem) {
      return EditError{.kind = Refusal::kModuleUnreadable,
                       .name = ModuleName(image, m),
                       .what = UnreadablePart(read.problem->kind)};
    }
    for (const ModuleStretch& st : read.stretches) {
      const uint64_t end = uint64_t{st.offset} + st.length;
      const bool hit =
          zone.moves ? end > zone.first : Intersects(st.offset, end, zone.first, zone.end);
      if (hit) {
        return EditError{.kind = Refusal::kModuleBehind,
                         .name = ModuleName(image, m),
                         .what = PartName(st),
                         .first = st.offset};
      }
    }
  }
  return std::nullopt;
}

std::optional<EditError> CheckProtected(const RomImage& image, const EditZone& zone) {
  struct Part {
    const char* what;
    uint64_t first;
    uint64_t size;
  };
  const auto sig = static_cast<uint32_t>(image.SignatureOffset());
  const uint64_t header = image.RomHeaderOffset();
  const uint64_t file_table = FileTableAt(header, image.ModuleCount());
  const Part parts[] = {
      {"den Signaturblock", sig, kSignatureBlockSize},
      {"den zweiten Zeiger auf den ROM Header", image.SecondPointerOffset(),
       image.SecondPointerOffset() != 0 ? 4u : 0u},
      {"den ROM Header", header, romhdr::kSize},
      {"die Modultabelle", ModuleTableAt(header), file_table - ModuleTableAt(header)},
      {"die Dateitabelle", file_table,
       TablesEnd(header, image.ModuleCount(), image.FileCount()) - file_table},
  };
  for (const Part& p : parts) {
    if (p.size != 0 && Intersects(p.first, p.first + p.size, zone.first, zone.end)) {
      return EditError{.kind = Refusal::kProtected, .what = p.what, .first = p.first};
    }
  }
  return std::nullopt;
}

std::optional<EditError> CheckFiles(const RomImage& image, const EditZone& zone) {
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    if (zone.entry == i) continue;
    const FileStretch st = FileStretchOf(image, i);
    const uint32_t name_address = FileEntry(image, i)->Get(filesentry::lpszFileName);
    const uint64_t name_end = uint64_t{st.name_offset} + image.RomStringLength(name_address) + 1;
    const char* what = nullptr;
    uint32_t at = 0;
    if (st.data_length != 0 && Intersects(st.data_offset, uint64_t{st.data_offset} + st.data_length,
                                          zone.first, zone.end)) {
      what = "ihre Daten";
      at = st.data_offset;
    } else if (image.Fits(st.name_offset, 1) &&
               Intersects(st.name_offset, name_end, zone.first, zone.end)) {
      what = "ihren Namen";
      at = st.name_offset;
    }
    if (what) {
      return EditError{.kind = Refusal::kEntryInside,
                       .name = image.ReadRomString(name_address),
                       .what = what,
                       .first = at};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<EditError> CheckEdit(const RomImage& image, const EditZone& zone) {
  if (image.SignatureOffset() < 0 || !image.RomHeaderInBuffer()) {
    return EditError{.kind = Refusal::kNoHeader};
  }
  if (!image.TablesListedWhole()) return EditError{.kind = Refusal::kTablesNotListed};
  if (auto e = CheckProtected(image, zone)) return e;
  if (auto e = CheckFiles(image, zone)) return e;
  return CheckModules(image, zone);
}

}  // namespace rom
