// PE rebuild of a module: section placement and naming, data directories, headers, section data.
//
// Placement. Every section goes to its o32_rva, so rvas in the code and in the directories stay
// true. The image builder, however, gives the read-only sections that run in place the rva of
// their place in the image (e32_vbase + o32_rva = o32_dataptr) while a writable section, copied
// to o32_realaddr at run time, keeps the rva it was linked at; the two can overlap (in the real
// images the exception table was moved onto the rva of the data section). A PE file cannot hold
// overlapping sections, so:
//  - sections that run in place are placed first, then the others, each in o32_rom order;
//  - a section whose range [o32_rva, o32_rva + max(o32_vsize, its bytes)) overlaps one placed
//    before it is moved behind everything else (behind e32_vsize and the highest section end,
//    aligned to the section alignment), and the log says which section it overlapped;
//  - a data directory that lies in a moved section (and in no section left at its place) moves
//    with it.
//
// Section names. A PE file names its sections; the image does not keep the names, so they are
// chosen from what each section holds:
//  - a section at whose placed rva the exception unit starts is ".pdata", the resource unit
//    ".rsrc", the fixup unit ".reloc" (in this order, when several start there);
//  - otherwise by its characteristics: code or executable ".text", uninitialised data ".bss",
//    writable ".data", anything else ".rdata".
//
// Headers. Machine: usCPUType. Time stamp: e32_timestamp (0 in the layout without it).
// Characteristics: e32_imageflags (the linked file's own), plus "relocations stripped" when the
// fixup directory is left empty. Image base e32_vbase, entry point e32_entryrva, stack reserve
// e32_stackmax (commit: one page, or less), subsystem e32_subsys with its version
// e32_subsysmajor.e32_subsysminor, also written as the operating-system version. Not in the
// image and written as fixed values: linker and image version 0, heap reserve 1 MiB and commit
// one page (the linker's defaults), DLL characteristics 0, checksum 0 (only drivers need one).
// Section alignment: the platform's page (4096), halved until it divides every o32_rva; file
// alignment 512 (or the section alignment when that is smaller). Data directories: the e32_unit
// pairs (thread-local storage as directory 9) and e32_sect14rva/size as directory 14; a unit that
// lies in no section is left empty (its bytes are not in the image), and the security unit is
// always left empty (it is a position in the linked file, whose certificates the image drops).
//
// Section data. A stored section's o32_psize bytes, zero-padded to o32_vsize; a compressed one
// decoded into o32_vsize bytes (a stream that ends early leaves zeros); a section with nothing
// stored (o32_psize 0) has no file data and reads as zeros.
#include "rom/pe_builder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "bytes/byte_order.h"
#include "rom/module_layout.h"
#include "rom/pe_layout.h"
#include "rom/rom_layout.h"
#include "rom/text_format.h"

namespace rom {

namespace {

constexpr uint32_t kPageSize = 0x1000;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kPeOffset = 0x80;  // e_lfanew: the stub fits below it
constexpr uint32_t kHeapReserve = 0x100000;
constexpr uint32_t kHeapCommit = 0x1000;

// The MS-DOS program that prints the usual message and ends, placed behind the DOS header.
constexpr uint8_t kDosStub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                                0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
constexpr char kDosMessage[] = "This program cannot be run in DOS mode.\r\r\n$";
static_assert(pe::dos::kSize + sizeof kDosStub + sizeof kDosMessage - 1 <= kPeOffset);

constexpr const char* kUnitNames[e32rom::kUnitCount] = {
    "export", "import", "resource",          "exception",           "security",
    "fixup",  "debug",  "image description", "thread-local storage"};

uint64_t AlignUp(uint64_t n, uint32_t alignment) {
  return (n + alignment - 1) / alignment * alignment;
}

// One section while the file is planned.
struct Plan {
  const SectionInfo* section = nullptr;
  uint64_t content = 0;  // bytes of section data in the file, before file alignment
  uint64_t extent = 0;   // virtual extent: max(o32_vsize, content)
  uint64_t rva = 0;      // placed rva
  bool moved = false;
  uint32_t overlapped = 0;  // for a moved section: the o32_rom index of the one it overlapped
  std::string name;
  uint32_t raw_offset = 0;
  uint32_t raw_size = 0;
};

bool Holds(uint64_t start, uint64_t extent, const E32Unit& unit) {
  if (unit.rva < start || unit.rva - start > extent) return false;
  return unit.size <= extent - (unit.rva - start);
}

// Where a directory points in the rebuilt file: its own rva when a section left in place holds
// it, shifted with a moved section that holds it, or nullopt when no section holds it.
std::optional<uint32_t> ResolveUnit(const std::vector<Plan>& plans, const E32Unit& unit) {
  for (const Plan& p : plans) {
    if (!p.moved && Holds(p.section->o32_rva, p.extent, unit)) return unit.rva;
  }
  for (const Plan& p : plans) {
    if (p.moved && Holds(p.section->o32_rva, p.extent, unit)) {
      return static_cast<uint32_t>(p.rva + (unit.rva - p.section->o32_rva));
    }
  }
  return std::nullopt;
}

std::string NameByFlags(uint32_t flags) {
  if (flags & (kScnCode | kScnMemExecute)) return ".text";
  if (flags & kScnUninitializedData) return ".bss";
  if (flags & kScnMemWrite) return ".data";
  return ".rdata";
}

Error Problem(ErrorKind kind, std::optional<uint32_t> section, std::string message) {
  return Error{.kind = kind, .reason = std::move(message), .section = section};
}

void Put16(std::vector<uint8_t>& b, uint64_t at, uint16_t v) { bytes::StoreLe16(b.data() + at, v); }
void Put32(std::vector<uint8_t>& b, uint64_t at, uint32_t v) { bytes::StoreLe32(b.data() + at, v); }

// Where the headers lie in the file.
constexpr uint32_t kCoffAt = kPeOffset + 4;
constexpr uint32_t kOptionalAt = kCoffAt + pe::coff::kSize;
constexpr uint32_t kSectionTableAt = kOptionalAt + pe::opt::kSize;

// The rebuild of one module, stage by stage: plan the sections, place them, resolve the
// directories, name the sections, give them file positions, then write the section data, the
// headers and the section table. A stage that finds the module cannot be rebuilt gives the
// error; the later stages then do not run.
class PeRebuild {
 public:
  PeRebuild(const RomImage& image, const ModuleInfo& module, uint16_t cpu_type,
            const Decompressor& decompress)
      : image_(image),
        module_(module),
        e_(module.e32),
        cpu_type_(cpu_type),
        decompress_(decompress),
        head_("module " + std::to_string(module.index) + " " + module.name) {}

  Result<PeFile> Run() {
    if (module_.sections.empty()) {
      return Problem(ErrorKind::kNoSections, std::nullopt,
                     head_ + ": e32_objcnt is 0, the module has no sections to rebuild");
    }
    if (auto e = PlanSections()) return *e;
    ChooseAlignments();
    if (auto e = PlaceSections()) return *e;
    ResolveDirectories();
    NameSections();
    if (auto e = PlaceInFile()) return *e;
    try {
      out_.bytes.assign(static_cast<size_t>(file_size_), 0);
    } catch (const std::bad_alloc&) {
      return Problem(ErrorKind::kPeTooLarge, std::nullopt,
                     head_ + ": out of memory for " + std::to_string(file_size_) + " bytes");
    }
    // Section data first: a section that cannot be decoded ends the rebuild here.
    if (auto e = WriteSectionData()) return *e;
    WriteDosHeader();
    WriteCoffHeader();
    WriteOptionalHeader();
    WriteSectionTable();
    return std::move(out_);
  }

 private:
  // Section data sizes, checked against the cap before anything is allocated.
  std::optional<Error> PlanSections() {
    plans_.reserve(module_.sections.size());
    for (const SectionInfo& s : module_.sections) {
      Plan p;
      p.section = &s;
      if (s.stored()) {
        p.content = s.compressed() ? s.o32_vsize : std::max(s.o32_psize, s.o32_vsize);
      }
      if (p.content > kMaxPeFileSize) {
        return Problem(ErrorKind::kPeTooLarge, s.index,
                       head_ + ": section " + std::to_string(s.index) + " would take " +
                           std::to_string(p.content) + " bytes, more than the " +
                           std::to_string(kMaxPeFileSize >> 20) + " MiB a rebuilt module may have");
      }
      p.extent = std::max<uint64_t>(s.o32_vsize, p.content);
      plans_.push_back(std::move(p));
    }
    return std::nullopt;
  }

  // The platform's page, halved until it divides every o32_rva; files align to 512 bytes or
  // less.
  void ChooseAlignments() {
    section_alignment_ = kPageSize;
    for (const SectionInfo& s : module_.sections) {
      while (s.o32_rva % section_alignment_ != 0) section_alignment_ >>= 1;
    }
    file_alignment_ = std::min(kFileAlignment, section_alignment_);
  }

  // Sections that run in place first, then the others, each in o32_rom order; one that
  // overlaps a section placed before it moves behind everything.
  std::optional<Error> PlaceSections() {
    std::vector<Plan*> order;
    for (Plan& p : plans_) {
      const SectionInfo& s = *p.section;
      if (s.stored() && e_.e32_vbase + s.o32_rva == s.o32_dataptr) order.push_back(&p);
    }
    for (Plan& p : plans_) {
      if (std::find(order.begin(), order.end(), &p) == order.end()) order.push_back(&p);
    }
    // An empty section still takes its rva, so that two sections never share a start.
    auto span = [](const Plan* p) { return std::max<uint64_t>(p->extent, 1); };
    std::vector<const Plan*> placed;
    uint64_t high = e_.e32_vsize;
    for (Plan* p : order) {
      const uint64_t start = p->section->o32_rva;
      const uint64_t end = AlignUp(start + span(p), section_alignment_);
      for (const Plan* q : placed) {
        const uint64_t q_end = AlignUp(uint64_t{q->section->o32_rva} + span(q), section_alignment_);
        if (start < q_end && q->section->o32_rva < end) {
          p->moved = true;
          p->overlapped = q->section->index;
          break;
        }
      }
      if (p->moved) continue;
      p->rva = start;
      high = std::max(high, end);
      placed.push_back(p);
    }
    uint64_t next = AlignUp(high, section_alignment_);
    for (Plan* p : order) {
      if (!p->moved) continue;
      p->rva = next;
      next = AlignUp(next + span(p), section_alignment_);
    }
    if (next > 0xFFFFFFFFull) {
      return Problem(ErrorKind::kNoRoom, std::nullopt,
                     head_ + ": its sections and e32_vsize reach past the 32-bit address space (" +
                         std::to_string(next) + " bytes from e32_vbase)");
    }
    image_end_ = next;
    return std::nullopt;
  }

  // The data directories: each unit where the placed sections put it; the security unit and
  // units that lie in no section are left empty, with a note.
  void ResolveDirectories() {
    auto resolve = [&](const E32Unit& unit, uint32_t dir, const std::string& what) {
      if (unit.rva == 0 && unit.size == 0) return;
      const auto rva = ResolveUnit(plans_, unit);
      if (!rva) {
        notes_.push_back("directory " + std::to_string(dir) + " (" + what + " " + H8(unit.rva) +
                         ", " + std::to_string(unit.size) +
                         " bytes) lies in no section: left empty");
        return;
      }
      dirs_[dir] = E32Unit{*rva, unit.size};
    };
    for (uint32_t u = 0; u < e32rom::kUnitCount; ++u) {
      const E32Unit& unit = e_.e32_unit[u];
      if (u == e32rom::kUnitSecurity) {
        if (unit.rva != 0 || unit.size != 0) {
          notes_.push_back("directory 4 (security unit " + H8(unit.rva) + ", " +
                           std::to_string(unit.size) +
                           " bytes) is a position in the linked file: left empty");
        }
        continue;
      }
      resolve(unit, e32rom::kUnitDirectory[u], std::string(kUnitNames[u]) + " unit");
    }
    resolve(E32Unit{e_.e32_sect14rva, e_.e32_sect14size}, e32rom::kSect14Directory, "sect14");
  }

  // Names, by the directory that starts at a section's placed rva, else by characteristics.
  void NameSections() {
    for (Plan& p : plans_) {
      const std::pair<uint32_t, const char*> by_unit[] = {{e32rom::kUnitException, ".pdata"},
                                                          {e32rom::kUnitResource, ".rsrc"},
                                                          {e32rom::kUnitFixup, ".reloc"}};
      for (const auto& [unit, name] : by_unit) {
        const E32Unit& d = dirs_[e32rom::kUnitDirectory[unit]];
        if (d.rva != 0 && d.rva == p.rva) {
          p.name = name;
          break;
        }
      }
      if (p.name.empty()) p.name = NameByFlags(p.section->o32_flags);
    }
  }

  // The section table in ascending rva order; file positions behind the headers.
  std::optional<Error> PlaceInFile() {
    for (Plan& p : plans_) table_.push_back(&p);
    std::stable_sort(table_.begin(), table_.end(),
                     [](const Plan* a, const Plan* b) { return a->rva < b->rva; });
    headers_size_ = AlignUp(uint64_t{kSectionTableAt} + uint64_t{table_.size()} * pe::scn::kSize,
                            file_alignment_);
    file_size_ = headers_size_;
    for (Plan* p : table_) {
      if (p->content == 0) continue;
      const uint64_t raw = AlignUp(p->content, file_alignment_);
      if (raw > kMaxPeFileSize - std::min(file_size_, kMaxPeFileSize)) {
        return Problem(ErrorKind::kPeTooLarge, std::nullopt,
                       head_ + ": the rebuilt file would exceed " +
                           std::to_string(kMaxPeFileSize >> 20) + " MiB");
      }
      p->raw_offset = static_cast<uint32_t>(file_size_);
      p->raw_size = static_cast<uint32_t>(raw);
      file_size_ += raw;
    }
    return std::nullopt;
  }

  // Each stored section's bytes, copied or decoded into o32_vsize bytes at its file position.
  std::optional<Error> WriteSectionData() {
    std::vector<uint8_t>& b = out_.bytes;
    for (const Plan* p : table_) {
      const SectionInfo& s = *p->section;
      if (!s.stored()) continue;
      const std::string sec = head_ + ": section " + std::to_string(s.index) + " (" + p->name + ")";
      const auto in_image = image_.Bytes(s.data_offset, s.o32_psize);
      if (!in_image) {
        return Problem(ErrorKind::kStoredBytesGone, s.index,
                       sec + ": its stored bytes (" + H8(s.data_offset) + ", " +
                           std::to_string(s.o32_psize) + " bytes) lie outside the buffer");
      }
      const std::span<const uint8_t> stored = *in_image;
      if (!s.compressed()) {
        std::memcpy(b.data() + p->raw_offset, stored.data(), stored.size());
        continue;
      }
      if (!decompress_) {
        return Problem(ErrorKind::kNoDecompressor, s.index,
                       sec + " is compressed and no decompression is available");
      }
      const std::span<uint8_t> target(b.data() + p->raw_offset, s.o32_vsize);
      const auto written = decompress_(stored, target);
      if (!written || *written > target.size()) {
        return Problem(ErrorKind::kCorruptSection, s.index,
                       sec + ": its compressed stream (" + std::to_string(s.o32_psize) +
                           " bytes at " + H8(s.data_offset) +
                           ") is corrupt or decodes to more than o32_vsize (" +
                           std::to_string(s.o32_vsize) + " bytes)");
      }
    }
    return std::nullopt;
  }

  // MS-DOS header and stub, and the PE signature.
  void WriteDosHeader() {
    std::vector<uint8_t>& b = out_.bytes;
    Put16(b, pe::dos::e_magic, pe::kDosMagic);
    Put16(b, pe::dos::e_cblp, 0x90);
    Put16(b, pe::dos::e_cp, 3);
    Put16(b, pe::dos::e_cparhdr, pe::dos::kSize / 16);
    Put16(b, pe::dos::e_maxalloc, 0xFFFF);
    Put16(b, pe::dos::e_sp, 0xB8);
    Put16(b, pe::dos::e_lfarlc, pe::dos::kSize);
    Put32(b, pe::dos::e_lfanew, kPeOffset);
    std::memcpy(b.data() + pe::dos::kSize, kDosStub, sizeof kDosStub);
    std::memcpy(b.data() + pe::dos::kSize + sizeof kDosStub, kDosMessage, sizeof kDosMessage - 1);
    Put32(b, kPeOffset, pe::kPeSignature);
  }

  void WriteCoffHeader() {
    std::vector<uint8_t>& b = out_.bytes;
    const E32Unit& fixup = dirs_[e32rom::kUnitDirectory[e32rom::kUnitFixup]];
    const bool relocs_kept = fixup.rva != 0 || fixup.size != 0;
    Put16(b, kCoffAt + pe::coff::Machine, cpu_type_);
    Put16(b, kCoffAt + pe::coff::NumberOfSections, static_cast<uint16_t>(table_.size()));
    Put32(b, kCoffAt + pe::coff::TimeDateStamp, e_.e32_timestamp.value_or(0));
    Put16(b, kCoffAt + pe::coff::SizeOfOptionalHeader, pe::opt::kSize);
    Put16(b, kCoffAt + pe::coff::Characteristics,
          static_cast<uint16_t>(e_.e32_imageflags | (relocs_kept ? 0 : pe::kFileRelocsStripped)));
  }

  void WriteOptionalHeader() {
    std::vector<uint8_t>& b = out_.bytes;
    uint64_t code = 0, init = 0, uninit = 0;
    uint32_t base_of_code = 0, base_of_data = 0;
    for (const Plan* p : table_) {
      const uint32_t flags = p->section->o32_flags;
      if (flags & kScnCode) {
        code += p->raw_size;
        if (base_of_code == 0) base_of_code = static_cast<uint32_t>(p->rva);
      } else if (flags & kScnInitializedData) {
        if (base_of_data == 0) base_of_data = static_cast<uint32_t>(p->rva);
      }
      if (flags & kScnInitializedData) init += p->raw_size;
      if (flags & kScnUninitializedData) uninit += AlignUp(p->section->o32_vsize, file_alignment_);
    }
    auto clamp32 = [](uint64_t v) { return static_cast<uint32_t>(std::min<uint64_t>(v, ~0u)); };
    constexpr uint32_t o = kOptionalAt;
    Put16(b, o + pe::opt::Magic, pe::kPe32Magic);
    Put32(b, o + pe::opt::SizeOfCode, clamp32(code));
    Put32(b, o + pe::opt::SizeOfInitializedData, clamp32(init));
    Put32(b, o + pe::opt::SizeOfUninitializedData, clamp32(uninit));
    Put32(b, o + pe::opt::AddressOfEntryPoint, e_.e32_entryrva);
    Put32(b, o + pe::opt::BaseOfCode, base_of_code);
    Put32(b, o + pe::opt::BaseOfData, base_of_data);
    Put32(b, o + pe::opt::ImageBase, e_.e32_vbase);
    Put32(b, o + pe::opt::SectionAlignment, section_alignment_);
    Put32(b, o + pe::opt::FileAlignment, file_alignment_);
    Put16(b, o + pe::opt::MajorOperatingSystemVersion, e_.e32_subsysmajor);
    Put16(b, o + pe::opt::MinorOperatingSystemVersion, e_.e32_subsysminor);
    Put16(b, o + pe::opt::MajorSubsystemVersion, e_.e32_subsysmajor);
    Put16(b, o + pe::opt::MinorSubsystemVersion, e_.e32_subsysminor);
    Put32(b, o + pe::opt::SizeOfImage, static_cast<uint32_t>(image_end_));
    Put32(b, o + pe::opt::SizeOfHeaders, static_cast<uint32_t>(headers_size_));
    Put16(b, o + pe::opt::Subsystem, e_.e32_subsys);
    Put32(b, o + pe::opt::SizeOfStackReserve, e_.e32_stackmax);
    Put32(b, o + pe::opt::SizeOfStackCommit, std::min(e_.e32_stackmax, kPageSize));
    Put32(b, o + pe::opt::SizeOfHeapReserve, kHeapReserve);
    Put32(b, o + pe::opt::SizeOfHeapCommit, kHeapCommit);
    Put32(b, o + pe::opt::NumberOfRvaAndSizes, pe::opt::kDirectoryCount);
    for (uint32_t d = 0; d < pe::opt::kDirectoryCount; ++d) {
      Put32(b, o + pe::opt::DataDirectory + d * 8, dirs_[d].rva);
      Put32(b, o + pe::opt::DataDirectory + d * 8 + 4, dirs_[d].size);
    }
  }

  // The section table, the file's sections and the log: one line per section, then every
  // section moved and every directory left empty.
  void WriteSectionTable() {
    std::vector<uint8_t>& b = out_.bytes;
    for (size_t i = 0; i < table_.size(); ++i) {
      const Plan& p = *table_[i];
      const SectionInfo& s = *p.section;
      const uint64_t at = uint64_t{kSectionTableAt} + uint64_t{i} * pe::scn::kSize;
      std::memcpy(b.data() + at + pe::scn::Name, p.name.data(), std::min<size_t>(p.name.size(), 8));
      Put32(b, at + pe::scn::VirtualSize, s.o32_vsize);
      Put32(b, at + pe::scn::VirtualAddress, static_cast<uint32_t>(p.rva));
      Put32(b, at + pe::scn::SizeOfRawData, p.raw_size);
      Put32(b, at + pe::scn::PointerToRawData, p.raw_offset);
      Put32(b, at + pe::scn::Characteristics, s.o32_flags & ~kO32PlatformBits);

      std::string line = "section " + std::to_string(s.index) + " " + p.name + ": rva " +
                         H8(static_cast<uint32_t>(p.rva)) + " vsize " + H8(s.o32_vsize) + ", ";
      if (!s.stored()) {
        line += "nothing stored (zeros)";
      } else if (s.compressed()) {
        line += "decoded from " + std::to_string(s.o32_psize) + " compressed bytes";
      } else {
        line += std::to_string(s.o32_psize) + " bytes stored";
      }
      line += ", realaddr " + H8(s.o32_realaddr);
      out_.log.push_back(std::move(line));
      out_.sections.push_back(PeSection{s.index, p.name, static_cast<uint32_t>(p.rva), s.o32_vsize,
                                        p.raw_offset, p.raw_size, s.o32_flags & ~kO32PlatformBits,
                                        p.moved});
    }
    for (const Plan& p : plans_) {
      if (!p.moved) continue;
      out_.log.push_back("section " + std::to_string(p.section->index) + " " + p.name +
                         ": its o32_rva " + H8(p.section->o32_rva) + " overlaps section " +
                         std::to_string(p.overlapped) + ", so it is placed at rva " +
                         H8(static_cast<uint32_t>(p.rva)));
    }
    for (std::string& n : notes_) out_.log.push_back(std::move(n));
  }

  const RomImage& image_;
  const ModuleInfo& module_;
  const E32Fields& e_;
  uint16_t cpu_type_;
  const Decompressor& decompress_;
  const std::string head_;   // "module N name", the start of every problem's words
  std::vector<Plan> plans_;  // in o32_rom order
  uint32_t section_alignment_ = kPageSize;
  uint32_t file_alignment_ = kFileAlignment;
  uint64_t image_end_ = 0;  // SizeOfImage: behind every placed section and e32_vsize
  E32Unit dirs_[pe::opt::kDirectoryCount] = {};
  std::vector<std::string> notes_;  // directories left empty
  std::vector<Plan*> table_;        // the section table's order (ascending rva)
  uint64_t headers_size_ = 0;
  uint64_t file_size_ = 0;
  PeFile out_;
};

}  // namespace

std::optional<uint16_t> RomCpuType(const RomImage& image) {
  const auto header = image.Bytes(image.RomHeaderOffset(), romhdr::kSize);
  if (!image.RomHeaderInBuffer() || !header) return std::nullopt;
  return bytes::LoadLe16(header->data() + romhdr::usCPUType);
}

Result<PeFile> BuildPeFile(const RomImage& image, const ModuleInfo& module, uint16_t cpu_type,
                           const Decompressor& decompress) {
  return PeRebuild(image, module, cpu_type, decompress).Run();
}

}  // namespace rom
