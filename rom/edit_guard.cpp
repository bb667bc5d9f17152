// Refusals of edits that would lose or misplace what the image points to.
#include "rom/edit_guard.h"

#include "rom/rom_header.h"
#include "rom/rom_layout.h"

namespace rom {

namespace {

// e32_rom: u16 e32_objcnt first; o32_rom records of 24 bytes with o32_psize at 8 and
// o32_dataptr at 12. Only these fields are needed to know where a module's bytes lie.
constexpr uint32_t kE32ObjCount = 0;
constexpr uint32_t kO32Size = 24;
constexpr uint32_t kO32PhysicalSize = 8;
constexpr uint32_t kO32DataPointer = 12;

bool Intersects(uint64_t a_first, uint64_t a_end, uint64_t b_first, uint64_t b_end) {
  return a_first < b_end && b_first < a_end;
}

std::string ModuleName(const RomImage& image, uint32_t index) {
  return image.ReadRomString(ModuleEntry(image, index)->Get(tocentry::lpszFileName));
}

std::optional<EditError> CheckModules(const RomImage& image, const EditZone& zone) {
  for (uint32_t m = 0; m < image.ModuleCount(); ++m) {
    auto stretches = ModuleStretchesOf(image, m);
    if (!stretches) return stretches.error();
    for (const ModuleStretch& st : stretches.value()) {
      const bool hit =
          zone.moves ? st.end > zone.first : Intersects(st.first, st.end, zone.first, zone.end);
      if (hit) {
        return EditError{.kind = Refusal::kModuleBehind,
                         .name = ModuleName(image, m),
                         .what = st.what,
                         .first = st.first};
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
  const uint64_t modules = uint64_t{tocentry::kSize} * image.ModuleCount();
  const Part parts[] = {
      {"den Signaturblock", sig, kSignatureBlockSize},
      {"den zweiten Zeiger auf den ROM Header", image.SecondPointerOffset(),
       image.SecondPointerOffset() != 0 ? 4u : 0u},
      {"den ROM Header", header, romhdr::kSize},
      {"die Modultabelle", header + romhdr::kSize, modules},
      {"die Dateitabelle", header + romhdr::kSize + modules,
       uint64_t{filesentry::kSize} * image.FileCount()},
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
    const uint64_t name_end = uint64_t{st.name} + image.RomStringLength(name_address) + 1;
    const char* what = nullptr;
    uint32_t at = 0;
    if (st.length != 0 &&
        Intersects(st.data, uint64_t{st.data} + st.length, zone.first, zone.end)) {
      what = "ihre Daten";
      at = st.data;
    } else if (image.Fits(st.name, 1) && Intersects(st.name, name_end, zone.first, zone.end)) {
      what = "ihren Namen";
      at = st.name;
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

Result<std::vector<ModuleStretch>> ModuleStretchesOf(const RomImage& image, uint32_t index) {
  const auto entry = ModuleEntry(image, index);
  if (!entry) return EditError{.kind = Refusal::kNoEntry, .first = index};
  std::vector<ModuleStretch> out;
  const uint32_t name_address = entry->Get(tocentry::lpszFileName);
  const uint32_t name = OffsetOf(image, name_address);
  if (image.Fits(name, 1)) {
    out.push_back({name, name + image.RomStringLength(name_address) + 1, "Name"});
  }
  auto unreadable = [&](const char* what) {
    return EditError{
        .kind = Refusal::kModuleUnreadable, .name = ModuleName(image, index), .what = what};
  };
  const uint32_t e32 = OffsetOf(image, entry->Get(tocentry::ulE32Offset));
  const auto objects = image.Bytes(e32, 2);
  if (!objects) return unreadable("e32_rom");
  const uint32_t count = LoadLe16(objects->data() + kE32ObjCount);
  out.push_back({e32, e32 + 2, "e32_rom"});
  const uint32_t o32 = OffsetOf(image, entry->Get(tocentry::ulO32Offset));
  const auto records = image.Bytes(o32, uint64_t{count} * kO32Size);
  if (!records) return unreadable("o32_rom");
  out.push_back({o32, static_cast<uint32_t>(o32 + uint64_t{count} * kO32Size), "o32_rom"});
  for (uint32_t k = 0; k < count; ++k) {
    const uint8_t* r = records->data() + size_t{k} * kO32Size;
    const uint32_t size = LoadLe32(r + kO32PhysicalSize);
    const uint32_t data = OffsetOf(image, LoadLe32(r + kO32DataPointer));
    // Stored bytes outside the buffer belong to no stretch of this image and never move.
    if (size == 0 || !image.Fits(data, size)) continue;
    out.push_back({data, data + size, "Sektion " + std::to_string(k)});
  }
  return out;
}

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
