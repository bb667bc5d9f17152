// Module reading: e32_rom layout detection, bounds-checked e32_rom and o32_rom records, stretches.
#include "rom/module_reader.h"

#include <algorithm>

#include "bytes/byte_order.h"
#include "rom/rom_header.h"
#include "rom/rom_layout.h"
#include "rom/text_format.h"

namespace rom {

namespace {

// Highest PE subsystem number (IMAGE_SUBSYSTEM_WINDOWS_BOOT_APPLICATION).
constexpr uint16_t kMaxSubsystem = 16;

struct TocFields {
  uint32_t entry_offset = 0;
  uint32_t name_address = 0;
  uint32_t e32_address = 0;
  uint32_t o32_address = 0;
};

std::optional<TocFields> ReadToc(const RomImage& image, uint32_t index) {
  if (index >= image.ModuleCount()) return std::nullopt;
  const uint64_t at = uint64_t{image.ModuleTable()} + uint64_t{index} * tocentry::kSize;
  const auto bytes = image.Bytes(at, tocentry::kSize);
  if (!bytes) return std::nullopt;
  const uint8_t* p = bytes->data();
  return TocFields{static_cast<uint32_t>(at), bytes::LoadLe32(p + tocentry::lpszFileName),
                   bytes::LoadLe32(p + tocentry::ulE32Offset),
                   bytes::LoadLe32(p + tocentry::ulO32Offset)};
}

// The e32_rom fields at `p`, which has E32Size(layout) readable bytes.
E32Fields ParseE32(const uint8_t* p, E32Layout layout) {
  using namespace e32rom;
  E32Fields e;
  e.e32_objcnt = bytes::LoadLe16(p + e32_objcnt);
  e.e32_imageflags = bytes::LoadLe16(p + e32_imageflags);
  e.e32_entryrva = bytes::LoadLe32(p + e32_entryrva);
  e.e32_vbase = bytes::LoadLe32(p + e32_vbase);
  e.e32_subsysmajor = bytes::LoadLe16(p + e32_subsysmajor);
  e.e32_subsysminor = bytes::LoadLe16(p + e32_subsysminor);
  e.e32_stackmax = bytes::LoadLe32(p + e32_stackmax);
  e.e32_vsize = bytes::LoadLe32(p + e32_vsize);
  e.e32_sect14rva = bytes::LoadLe32(p + e32_sect14rva);
  e.e32_sect14size = bytes::LoadLe32(p + e32_sect14size);
  const bool with = layout == E32Layout::kWithTimestamp;
  if (with) e.e32_timestamp = bytes::LoadLe32(p + with_timestamp::e32_timestamp);
  const uint32_t units = with ? with_timestamp::e32_unit : without_timestamp::e32_unit;
  for (uint32_t u = 0; u < kUnitCount; ++u) {
    e.e32_unit[u].rva = bytes::LoadLe32(p + units + u * kUnitSize);
    e.e32_unit[u].size = bytes::LoadLe32(p + units + u * kUnitSize + 4);
  }
  e.e32_subsys =
      bytes::LoadLe16(p + (with ? with_timestamp::e32_subsys : without_timestamp::e32_subsys));
  return e;
}

std::string ModuleHead(uint32_t index, const std::string& name) {
  std::string s = "module " + std::to_string(index);
  if (!name.empty()) s += " " + name;
  return s;
}

Error Problem(ErrorKind kind, uint32_t index, std::optional<uint32_t> section,
              std::string message) {
  return Error{.kind = kind, .reason = std::move(message), .module = index, .section = section};
}

// Failed layout checks of one module read in `layout`; nullopt when its header does not fit.
std::optional<uint32_t> LayoutFailures(const RomImage& image, uint32_t e32_offset, E32Layout layout,
                                       const std::vector<uint32_t>& rvas) {
  const auto header = image.Bytes(e32_offset, E32Size(layout));
  if (!header) return std::nullopt;
  const E32Fields e = ParseE32(header->data(), layout);
  uint32_t failures = 0;
  for (uint32_t u = 0; u < e32rom::kUnitCount; ++u) {
    if (u == e32rom::kUnitSecurity) continue;
    const E32Unit& unit = e.e32_unit[u];
    if (unit.rva == 0 && unit.size == 0) continue;
    if (unit.rva > e.e32_vsize || unit.size > e.e32_vsize - unit.rva) ++failures;
  }
  for (const uint32_t u : {e32rom::kUnitResource, e32rom::kUnitException}) {
    const uint32_t rva = e.e32_unit[u].rva;
    if (rva != 0 && std::find(rvas.begin(), rvas.end(), rva) == rvas.end()) ++failures;
  }
  if (e.e32_subsys == 0 || e.e32_subsys > kMaxSubsystem) ++failures;
  return failures;
}

}  // namespace

uint32_t E32Size(E32Layout layout) {
  return layout == E32Layout::kWithTimestamp ? e32rom::with_timestamp::kSize
                                             : e32rom::without_timestamp::kSize;
}

const char* E32LayoutName(E32Layout layout) {
  return layout == E32Layout::kWithTimestamp ? "with e32_timestamp" : "without e32_timestamp";
}

LayoutDetection DetectE32Layout(const RomImage& image) {
  LayoutDetection d;
  const uint32_t n = std::min(image.ModuleCount(), kLayoutSampleModules);
  for (uint32_t i = 0; i < n; ++i) {
    const auto toc = ReadToc(image, i);
    if (!toc) continue;
    const uint32_t e32 = OffsetOf(image, toc->e32_address);
    // The fields up to e32_sect14size are common to both layouts; the section rvas come from the
    // o32_rom table, which must be readable for the module to count.
    const auto common = image.Bytes(e32, e32rom::e32_sect14size + 4);
    if (!common) continue;
    const uint32_t objcnt = bytes::LoadLe16(common->data() + e32rom::e32_objcnt);
    const uint32_t o32 = OffsetOf(image, toc->o32_address);
    if (objcnt > kMaxModuleSections) continue;
    const auto records = image.Bytes(o32, uint64_t{objcnt} * o32rom::kSize);
    if (!records) continue;
    std::vector<uint32_t> rvas(objcnt);
    for (uint32_t s = 0; s < objcnt; ++s) {
      rvas[s] = bytes::LoadLe32(records->data() + s * o32rom::kSize + o32rom::o32_rva);
    }
    const auto with = LayoutFailures(image, e32, E32Layout::kWithTimestamp, rvas);
    const auto without = LayoutFailures(image, e32, E32Layout::kWithoutTimestamp, rvas);
    if (!with && !without) continue;
    ++d.modules_examined;
    // A layout whose header does not fit the buffer loses to one that does.
    if (!without || (with && *with < *without)) {
      ++d.votes_with;
    } else if (!with || *without < *with) {
      ++d.votes_without;
    }
  }
  d.decided = d.votes_with != d.votes_without;
  d.layout =
      d.votes_without > d.votes_with ? E32Layout::kWithoutTimestamp : E32Layout::kWithTimestamp;
  d.log_line = "; e32_rom layout: " + std::string(E32LayoutName(d.layout)) + " (" +
               std::to_string(d.modules_examined) +
               " module(s) examined: " + std::to_string(d.votes_with) +
               " fit the layout with e32_timestamp better, " + std::to_string(d.votes_without) +
               " the layout without";
  d.log_line += d.decided ? ")" : "; undecided, read as in later platform versions)";
  return d;
}

Result<ModuleInfo> ReadModule(const RomImage& image, uint32_t module_index, E32Layout layout) {
  const auto toc = ReadToc(image, module_index);
  if (!toc) {
    return Problem(ErrorKind::kNoSuchModule, module_index, std::nullopt,
                   "module " + std::to_string(module_index) + " is not in the module table");
  }
  ModuleInfo m;
  m.index = module_index;
  m.entry_offset = toc->entry_offset;
  m.layout = layout;

  m.name_offset = OffsetOf(image, toc->name_address);
  if (!image.Fits(m.name_offset, 1)) {
    return Problem(ErrorKind::kNameOutside, module_index, std::nullopt,
                   ModuleHead(module_index, "") + ": its name (" + H8(m.name_offset) +
                       ") lies outside the buffer");
  }
  m.name = image.ReadRomString(toc->name_address);
  m.name_length = static_cast<uint32_t>(m.name.size());
  const uint64_t after_name = uint64_t{m.name_offset} + m.name_length;
  const auto terminator = image.Bytes(after_name, 1);
  m.name_terminated = terminator && (*terminator)[0] == 0;
  const std::string head = ModuleHead(module_index, m.name);

  m.e32_offset = OffsetOf(image, toc->e32_address);
  const auto e32_bytes = image.Bytes(m.e32_offset, E32Size(layout));
  if (!e32_bytes) {
    return Problem(ErrorKind::kE32Outside, module_index, std::nullopt,
                   head + ": its e32_rom header (" + H8(m.e32_offset) + ", " +
                       std::to_string(E32Size(layout)) + " bytes) lies outside the buffer");
  }
  m.e32 = ParseE32(e32_bytes->data(), layout);

  const uint32_t objcnt = m.e32.e32_objcnt;
  if (objcnt > kMaxModuleSections) {
    return Problem(ErrorKind::kTooManySections, module_index, std::nullopt,
                   head + ": e32_objcnt " + std::to_string(objcnt) + " is above " +
                       std::to_string(kMaxModuleSections) + ", the most sections a module has");
  }
  m.o32_offset = OffsetOf(image, toc->o32_address);
  // The count is checked by division before it is multiplied.
  const uint64_t size = image.BufferSize() > 0 ? static_cast<uint64_t>(image.BufferSize()) : 0;
  if (m.o32_offset > size || objcnt > (size - m.o32_offset) / o32rom::kSize) {
    return Problem(ErrorKind::kO32Outside, module_index, std::nullopt,
                   head + ": its o32_rom table (" + H8(m.o32_offset) + ", " +
                       std::to_string(objcnt) + " records of 24 bytes) lies outside the buffer");
  }
  const auto records = *image.Bytes(m.o32_offset, uint64_t{objcnt} * o32rom::kSize);
  m.sections.reserve(objcnt);
  for (uint32_t s = 0; s < objcnt; ++s) {
    SectionInfo sec;
    sec.index = s;
    sec.record_offset = m.o32_offset + s * o32rom::kSize;
    const uint8_t* p = records.data() + size_t{s} * o32rom::kSize;
    sec.o32_vsize = bytes::LoadLe32(p + o32rom::o32_vsize);
    sec.o32_rva = bytes::LoadLe32(p + o32rom::o32_rva);
    sec.o32_psize = bytes::LoadLe32(p + o32rom::o32_psize);
    sec.o32_dataptr = bytes::LoadLe32(p + o32rom::o32_dataptr);
    sec.o32_realaddr = bytes::LoadLe32(p + o32rom::o32_realaddr);
    sec.o32_flags = bytes::LoadLe32(p + o32rom::o32_flags);
    sec.data_offset = OffsetOf(image, sec.o32_dataptr);
    if (sec.stored() && !image.Fits(sec.data_offset, sec.o32_psize)) {
      return Problem(ErrorKind::kSectionOutside, module_index, s,
                     head + ": the stored bytes of section " + std::to_string(s) + " (" +
                         H8(sec.data_offset) + ", " + std::to_string(sec.o32_psize) +
                         " bytes) lie outside the buffer");
    }
    m.sections.push_back(sec);
  }
  return m;
}

Result<ModuleInfo> ReadModule(const RomImage& image, uint32_t module_index) {
  return ReadModule(image, module_index, DetectE32Layout(image).layout);
}

std::vector<ModuleStretch> ModuleStretches(const ModuleInfo& module) {
  std::vector<ModuleStretch> out;
  const uint32_t name_bytes = module.name_length + (module.name_terminated ? 1 : 0);
  if (name_bytes > 0) out.push_back({module.name_offset, name_bytes, ModulePart::kName});
  out.push_back({module.e32_offset, module.e32_size(), ModulePart::kE32Header});
  if (!module.sections.empty()) {
    out.push_back({module.o32_offset, module.o32_table_size(), ModulePart::kO32Table});
  }
  for (const SectionInfo& s : module.sections) {
    if (!s.stored()) continue;
    out.push_back({s.data_offset, s.o32_psize, ModulePart::kSectionData, s.index});
  }
  return out;
}

Result<std::vector<ModuleStretch>> ModuleStretches(const RomImage& image, uint32_t module_index,
                                                   E32Layout layout) {
  const Result<ModuleInfo> read = ReadModule(image, module_index, layout);
  if (!read) return read.error();
  return ModuleStretches(*read);
}

std::vector<std::string> SectionLogLines(const ModuleInfo& module) {
  std::vector<std::string> lines;
  for (const SectionInfo& s : module.sections) {
    std::string line = "; section " + std::to_string(s.index) + ": rva " + H8(s.o32_rva) +
                       " vsize " + H8(s.o32_vsize) + " flags " + H8(s.o32_flags) + " realaddr " +
                       H8(s.o32_realaddr) + ", ";
    if (!s.stored()) {
      line += "nothing stored";
    } else {
      line += std::to_string(s.o32_psize) + " bytes stored at " + H8(s.data_offset) +
              (s.compressed() ? " (compressed)" : "");
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace rom
