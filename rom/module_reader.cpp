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

// Where a layout keeps the fields that move between layouts.
struct LayoutPlaces {
  uint32_t size;    // bytes of fields
  uint32_t record;  // bytes of a record, padded
  uint32_t unit;    // e32_unit
  uint32_t subsys;  // e32_subsys
  bool sect14;      // e32_sect14rva and e32_sect14size at their shared place
  bool timestamp;   // e32_timestamp
};

LayoutPlaces Places(E32Layout layout) {
  using namespace e32rom;
  switch (layout) {
    case E32Layout::kWithTimestamp:
      return {.size = with_timestamp::kSize,
              .record = with_timestamp::kRecordSize,
              .unit = with_timestamp::e32_unit,
              .subsys = with_timestamp::e32_subsys,
              .sect14 = true,
              .timestamp = true};
    case E32Layout::kWithoutTimestamp:
      return {.size = without_timestamp::kSize,
              .record = without_timestamp::kRecordSize,
              .unit = without_timestamp::e32_unit,
              .subsys = without_timestamp::e32_subsys,
              .sect14 = true,
              .timestamp = false};
    case E32Layout::kWithoutSect14:
      break;
  }
  return {.size = without_sect14::kSize,
          .record = without_sect14::kRecordSize,
          .unit = without_sect14::e32_unit,
          .subsys = without_sect14::e32_subsys,
          .sect14 = false,
          .timestamp = false};
}

// The e32_rom fields at `p`, which has E32Size(layout) readable bytes.
E32Fields ParseE32(const uint8_t* p, E32Layout layout) {
  using namespace e32rom;
  const LayoutPlaces at = Places(layout);
  E32Fields e;
  e.e32_objcnt = bytes::LoadLe16(p + e32_objcnt);
  e.e32_imageflags = bytes::LoadLe16(p + e32_imageflags);
  e.e32_entryrva = bytes::LoadLe32(p + e32_entryrva);
  e.e32_vbase = bytes::LoadLe32(p + e32_vbase);
  e.e32_subsysmajor = bytes::LoadLe16(p + e32_subsysmajor);
  e.e32_subsysminor = bytes::LoadLe16(p + e32_subsysminor);
  e.e32_stackmax = bytes::LoadLe32(p + e32_stackmax);
  e.e32_vsize = bytes::LoadLe32(p + e32_vsize);
  if (at.sect14) {
    e.e32_sect14rva = bytes::LoadLe32(p + e32_sect14rva);
    e.e32_sect14size = bytes::LoadLe32(p + e32_sect14size);
  }
  if (at.timestamp) e.e32_timestamp = bytes::LoadLe32(p + with_timestamp::e32_timestamp);
  for (uint32_t u = 0; u < kUnitCount; ++u) {
    e.e32_unit[u].rva = bytes::LoadLe32(p + at.unit + u * kUnitSize);
    e.e32_unit[u].size = bytes::LoadLe32(p + at.unit + u * kUnitSize + 4);
  }
  e.e32_subsys = bytes::LoadLe16(p + at.subsys);
  return e;
}

// The checks a header must pass to be rebuilt from its layout; the first failure's words (for
// E32Misfit) and the number of failures (for the vote).
struct Misfits {
  uint32_t count = 0;
  std::string first;

  void Add(std::string why) {
    if (count++ == 0) first = std::move(why);
  }
};

// The header at `e32_offset` (`e` read in `layout`) against its own fields and its o32_rom
// table of `objcnt` records at `o32_offset`.
Misfits CheckHeader(const E32Fields& e, E32Layout layout, uint32_t e32_offset, uint32_t o32_offset,
                    uint32_t objcnt) {
  Misfits m;
  if (e.e32_subsys == 0 || e.e32_subsys > kMaxSubsystem) {
    m.Add("e32_subsys " + std::to_string(e.e32_subsys) + " ist keine PE-Subsystemnummer (1 bis " +
          std::to_string(kMaxSubsystem) + ")");
  }
  for (uint32_t u = 0; u < e32rom::kUnitCount; ++u) {
    if (u == e32rom::kUnitSecurity) continue;
    const E32Unit& unit = e.e32_unit[u];
    if (unit.rva == 0 && unit.size == 0) continue;
    if (unit.rva > e.e32_vsize || unit.size > e.e32_vsize - unit.rva) {
      m.Add("e32_unit " + std::to_string(u) + " (" + H8(unit.rva) + ", " +
            std::to_string(unit.size) + " Bytes) liegt nicht innerhalb von e32_vsize " +
            H8(e.e32_vsize));
    }
  }
  const uint64_t end = uint64_t{e32_offset} + E32Size(layout);
  const uint64_t table_end = uint64_t{o32_offset} + uint64_t{objcnt} * o32rom::kSize;
  if (objcnt > 0 && o32_offset < end && e32_offset < table_end) {
    m.Add("der Kopf (" + std::to_string(E32Size(layout)) + " Bytes ab " + H8(e32_offset) +
          ") reicht in die eigene o32_rom-Tabelle bei " + H8(o32_offset));
  }
  return m;
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

// One module read in one layout, for the vote.
struct LayoutScore {
  bool readable = false;  // the header lies wholly in the buffer
  uint32_t failures = 0;
  bool spaced = false;  // its record size is the distance to the o32_rom table or next header
};

// What the vote needs of one module: where its header and table lie, its sections' rvas and
// where the next module's header starts (nullopt when none follows).
struct VoteInput {
  uint32_t e32 = 0;
  uint32_t o32 = 0;
  uint32_t objcnt = 0;
  std::vector<uint32_t> rvas;
  std::optional<uint32_t> next_e32;
};

LayoutScore Score(const RomImage& image, const VoteInput& in, E32Layout layout) {
  LayoutScore score;
  const uint32_t size = E32Size(layout);
  const auto header = image.Bytes(in.e32, size);
  if (!header) return score;
  score.readable = true;
  const E32Fields e = ParseE32(header->data(), layout);
  score.failures = CheckHeader(e, layout, in.e32, in.o32, in.objcnt).count;
  if (in.next_e32 && *in.next_e32 < uint64_t{in.e32} + size) ++score.failures;
  for (const uint32_t u : {e32rom::kUnitResource, e32rom::kUnitException}) {
    const uint32_t rva = e.e32_unit[u].rva;
    if (rva != 0 && std::find(in.rvas.begin(), in.rvas.end(), rva) == in.rvas.end()) {
      ++score.failures;
    }
  }
  const uint64_t behind = uint64_t{in.e32} + E32RecordSize(layout);
  score.spaced = in.o32 == behind ||
                 (in.next_e32 && (*in.next_e32 == behind ||
                                  *in.next_e32 == behind + uint64_t{in.objcnt} * o32rom::kSize));
  return score;
}

// The layout `scores` (in the order of kE32Layouts) favour: the one with fewest failures, or
// among several with fewest the one record spacing favours; nullopt when none stands out.
std::optional<size_t> Favoured(const std::array<LayoutScore, kE32LayoutCount>& scores) {
  std::optional<uint32_t> fewest;
  for (const LayoutScore& s : scores) {
    if (s.readable && (!fewest || s.failures < *fewest)) fewest = s.failures;
  }
  if (!fewest) return std::nullopt;
  std::vector<size_t> best;
  for (size_t l = 0; l < scores.size(); ++l) {
    if (scores[l].readable && scores[l].failures == *fewest) best.push_back(l);
  }
  if (best.size() == 1) return best[0];
  std::optional<size_t> spaced;
  for (const size_t l : best) {
    if (!scores[l].spaced) continue;
    if (spaced) return std::nullopt;
    spaced = l;
  }
  return spaced;
}

}  // namespace

uint32_t E32Size(E32Layout layout) { return Places(layout).size; }

uint32_t E32RecordSize(E32Layout layout) { return Places(layout).record; }

const char* E32LayoutName(E32Layout layout) {
  switch (layout) {
    case E32Layout::kWithTimestamp:
      return "mit e32_timestamp";
    case E32Layout::kWithoutTimestamp:
      return "ohne e32_timestamp";
    case E32Layout::kWithoutSect14:
      break;
  }
  return "ohne e32_sect14 und e32_timestamp";
}

LayoutDetection DetectE32Layout(const RomImage& image) {
  LayoutDetection d;
  // Every module's header start, to find the header that follows each.
  std::vector<uint32_t> starts;
  for (uint32_t i = 0; i < image.ModuleCount(); ++i) {
    if (const auto toc = ReadToc(image, i)) starts.push_back(OffsetOf(image, toc->e32_address));
  }
  std::sort(starts.begin(), starts.end());
  const uint32_t n = std::min(image.ModuleCount(), kLayoutSampleModules);
  for (uint32_t i = 0; i < n; ++i) {
    const auto toc = ReadToc(image, i);
    if (!toc) continue;
    VoteInput in;
    in.e32 = OffsetOf(image, toc->e32_address);
    in.o32 = OffsetOf(image, toc->o32_address);
    // e32_objcnt is common to all layouts; the section rvas come from the o32_rom table, which
    // must be readable for the module to count.
    const auto count = image.Bytes(in.e32, 2);
    if (!count) continue;
    in.objcnt = bytes::LoadLe16(count->data() + e32rom::e32_objcnt);
    if (in.objcnt > kMaxModuleSections) continue;
    const auto records = image.Bytes(in.o32, uint64_t{in.objcnt} * o32rom::kSize);
    if (!records) continue;
    in.rvas.resize(in.objcnt);
    for (uint32_t s = 0; s < in.objcnt; ++s) {
      in.rvas[s] = bytes::LoadLe32(records->data() + s * o32rom::kSize + o32rom::o32_rva);
    }
    const auto next = std::upper_bound(starts.begin(), starts.end(), in.e32);
    if (next != starts.end()) in.next_e32 = *next;
    std::array<LayoutScore, kE32LayoutCount> scores;
    for (size_t l = 0; l < kE32LayoutCount; ++l) scores[l] = Score(image, in, kE32Layouts[l]);
    if (std::none_of(scores.begin(), scores.end(),
                     [](const LayoutScore& s) { return s.readable; })) {
      continue;
    }
    ++d.modules_examined;
    if (const auto favoured = Favoured(scores)) ++d.votes[*favoured];
  }
  const auto most = std::max_element(d.votes.begin(), d.votes.end());
  d.decided = *most > 0 && std::count(d.votes.begin(), d.votes.end(), *most) == 1;
  if (d.decided) d.layout = kE32Layouts[static_cast<size_t>(most - d.votes.begin())];
  d.log_line = "; e32_rom-Aufbau: " +
               std::string(d.decided ? E32LayoutName(d.layout) : "nicht entscheidbar") + " (" +
               std::to_string(d.modules_examined) + " Module untersucht, am besten passen";
  for (size_t l = 0; l < kE32LayoutCount; ++l) {
    d.log_line += (l == 0 ? " " : ", ") + std::to_string(d.votes[l]) + " zum Aufbau " +
                  E32LayoutName(kE32Layouts[l]);
  }
  d.log_line += d.decided ? ")" : "; kein Modul wird neu gebaut)";
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

std::optional<std::string> E32Misfit(const ModuleInfo& module) {
  const Misfits m = CheckHeader(module.e32, module.layout, module.e32_offset, module.o32_offset,
                                static_cast<uint32_t>(module.sections.size()));
  if (m.count == 0) return std::nullopt;
  return m.first;
}

Result<ModuleInfo> ReadModuleToRebuild(const RomImage& image, uint32_t module_index,
                                       const LayoutDetection& layout) {
  Result<ModuleInfo> read = ReadModule(image, module_index, layout.layout);
  if (!read) return read;
  const auto misfit = E32Misfit(*read);
  if (layout.decided && !misfit) return read;
  // Why the header fits each layout not, and which it fits.
  std::string fits;
  std::string why_not;
  for (const E32Layout l : kE32Layouts) {
    const Result<ModuleInfo> in_l = ReadModule(image, module_index, l);
    const auto why = in_l ? E32Misfit(*in_l)
                          : std::optional<std::string>(
                                "der Kopf liegt nicht "
                                "ganz im Puffer");
    std::string& list = why ? why_not : fits;
    list += std::string(list.empty() ? "" : "; ") + E32LayoutName(l) + (why ? ": " + *why : "");
  }
  const std::string head = ModuleHead(module_index, read->name);
  std::string message;
  if (fits.empty()) {
    message = head + ": e32_rom passt zu keinem Aufbau (" + why_not + ")";
  } else if (!layout.decided) {
    message = head + ": der e32_rom-Aufbau des Images ist nicht entscheidbar (das Modul passt zu " +
              fits + ")";
  } else {
    message = head + ": e32_rom passt nicht zum Aufbau des Images (" +
              E32LayoutName(layout.layout) + ": " + *misfit + "), nur zu " + fits;
  }
  return Problem(layout.decided ? ErrorKind::kE32Misfit : ErrorKind::kLayoutUndecided, module_index,
                 std::nullopt, message + "; kein PE geschrieben");
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
