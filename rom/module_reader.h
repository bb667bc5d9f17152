// Reading a module of the image: its entry, name, e32_rom header, o32_rom records and the
// position of every section's stored bytes.
//
// A module never moves inside the image: its code runs in place at the addresses it was fixed
// up for. The reader therefore also lists every stretch of the buffer that a module occupies, so
// that an action that would move bytes can refuse when one of them lies behind its threshold.
// Every count and address read here is checked against the buffer before use; a module that
// cannot be read whole gives a problem that names the part and why, never a partial read.
#ifndef TARNWICK_ROM_MODULE_READER_H_
#define TARNWICK_ROM_MODULE_READER_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "rom/module_layout.h"
#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// Most sections a module may have: the PE format's limit for an image that a loader accepts.
// A count above it is damage, and reading it would let one hostile header cost megabytes.
inline constexpr uint32_t kMaxModuleSections = 96;
// Modules examined when deciding an image's e32_rom layout.
inline constexpr uint32_t kLayoutSampleModules = 256;

enum class E32Layout {
  kWithTimestamp,     // e32_timestamp behind e32_sect14size (later platform versions)
  kWithoutTimestamp,  // the units follow e32_sect14size directly
  kWithoutSect14,     // the units follow e32_vsize directly (the year-2000 generation)
};
inline constexpr E32Layout kE32Layouts[] = {E32Layout::kWithTimestamp, E32Layout::kWithoutTimestamp,
                                            E32Layout::kWithoutSect14};
inline constexpr size_t kE32LayoutCount = std::size(kE32Layouts);

// Bytes of an e32_rom header in `layout` (its fields, without the compiler's padding).
[[nodiscard]] uint32_t E32Size(E32Layout layout);
// Bytes of one e32_rom record as the image builder lays them out (the fields, padded to 4).
[[nodiscard]] uint32_t E32RecordSize(E32Layout layout);
// "with e32_timestamp", "without e32_timestamp" or "without e32_sect14 and e32_timestamp".
[[nodiscard]] const char* E32LayoutName(E32Layout layout);

// The e32_rom layout of one image and the evidence for it.
//
// Rule: for each of the first kLayoutSampleModules modules whose e32_rom header and o32_rom
// table can be read, every layout is tried and its failed checks counted:
//  - the header must lie wholly in the buffer (a layout whose header does not is out);
//  - every unit other than the security unit (which holds a file position, not an rva) that is
//    not (0, 0) must lie inside e32_vsize: rva <= e32_vsize and size <= e32_vsize - rva;
//  - e32_subsys must be a PE subsystem number (1 to 16);
//  - the header must not run into the module's own o32_rom table, nor into the e32_rom header
//    of another module (a header that would overlap them is longer than the image allows);
//  - a resource or exception unit with a non-zero rva must start where a section starts (some
//    o32_rva equals it): the image builder keeps these units as sections of their own.
// The module votes for the layout with fewest failures. Where several share the fewest, the
// record spacing decides among them: the image builder writes a module's o32_rom table, or the
// next module's e32_rom header, directly behind its e32_rom record, so a layout whose record
// size is the distance from the header to the o32_rom table, or to the next header (with or
// without the o32_rom table between), is the one the image was built with. Without that the
// module does not vote. The layout with most votes is the image's; on a tie (no modules, or
// no module that tells the layouts apart, or modules that contradict one another) `decided`
// is false: modules are then read with e32_timestamp, the layout of the later platform
// versions, for the stretches they occupy, but not rebuilt (see E32Misfit).
struct LayoutDetection {
  E32Layout layout = E32Layout::kWithTimestamp;
  bool decided = false;
  uint32_t modules_examined = 0;
  // Modules that fit each layout best, in the order of kE32Layouts.
  std::array<uint32_t, kE32LayoutCount> votes{};
  // One line for the analysis log: the layout and the evidence.
  std::string log_line;
};

// Decides the e32_rom layout of the image (see LayoutDetection). Reads only; never fails.
[[nodiscard]] LayoutDetection DetectE32Layout(const RomImage& image);

// One e32_unit (or the sect14 pair): a PE data directory, rva relative to e32_vbase.
struct E32Unit {
  uint32_t rva = 0;
  uint32_t size = 0;
  friend bool operator==(const E32Unit&, const E32Unit&) = default;
};

// The fields of an e32_rom header, under their published names.
struct E32Fields {
  uint16_t e32_objcnt = 0;
  uint16_t e32_imageflags = 0;
  uint32_t e32_entryrva = 0;
  uint32_t e32_vbase = 0;
  uint16_t e32_subsysmajor = 0;
  uint16_t e32_subsysminor = 0;
  uint32_t e32_stackmax = 0;
  uint32_t e32_vsize = 0;
  uint32_t e32_sect14rva = 0;  // 0 in the year-2000 layout, which has no e32_sect14 pair
  uint32_t e32_sect14size = 0;
  std::optional<uint32_t> e32_timestamp;  // only in the layout with it
  std::array<E32Unit, e32rom::kUnitCount> e32_unit{};
  uint16_t e32_subsys = 0;
};

// One o32_rom record and where its stored bytes lie.
struct SectionInfo {
  uint32_t index = 0;          // position in the module's o32_rom table
  uint32_t record_offset = 0;  // buffer offset of the o32_rom record
  uint32_t o32_vsize = 0;
  uint32_t o32_rva = 0;
  uint32_t o32_psize = 0;
  uint32_t o32_dataptr = 0;
  uint32_t o32_realaddr = 0;
  uint32_t o32_flags = 0;
  // Buffer offset of the stored bytes (o32_dataptr - RomBase); o32_psize bytes lie there, all
  // inside the buffer. Meaningful only when o32_psize > 0: a section with nothing stored (pure
  // zero-filled data) has no stored bytes, whatever its o32_dataptr says.
  uint32_t data_offset = 0;

  [[nodiscard]] bool compressed() const { return (o32_flags & kO32Compressed) != 0; }
  [[nodiscard]] bool stored() const { return o32_psize != 0; }
};

// A module read whole: every offset below lies inside the buffer with its full length.
struct ModuleInfo {
  uint32_t index = 0;         // position in the module table
  uint32_t entry_offset = 0;  // buffer offset of its TOCentry
  std::string name;           // Windows-1252 bytes, as ReadRomString reads them
  uint32_t name_offset = 0;
  uint32_t name_length = 0;      // bytes of the name without its 0 byte
  bool name_terminated = false;  // a 0 byte follows the name inside the buffer
  uint32_t e32_offset = 0;
  E32Layout layout = E32Layout::kWithTimestamp;
  E32Fields e32;
  uint32_t o32_offset = 0;  // the o32_rom table: e32_objcnt records of 24 bytes
  std::vector<SectionInfo> sections;

  [[nodiscard]] uint32_t e32_size() const { return E32Size(layout); }
  [[nodiscard]] uint32_t o32_table_size() const {
    return static_cast<uint32_t>(sections.size()) * o32rom::kSize;
  }
};

// Reads module `module_index` in the given e32_rom layout. On bad input an error (kNoSuchModule,
// kNameOutside, kE32Outside, kTooManySections, kO32Outside, kSectionOutside with its `section`)
// whose message names the module, the part (and section) and why; nothing is read outside the
// buffer. e32_objcnt 0 is read as a module without sections.
[[nodiscard]] Result<ModuleInfo> ReadModule(const RomImage& image, uint32_t module_index,
                                            E32Layout layout);
// The same in the layout DetectE32Layout decides for the image (which reads up to
// kLayoutSampleModules modules; callers reading many modules detect once and pass it).
[[nodiscard]] Result<ModuleInfo> ReadModule(const RomImage& image, uint32_t module_index);

// Why a module read in its layout cannot be rebuilt from that layout, in words for the user;
// nullopt when its header fits. It fits when e32_subsys is a PE subsystem number, every unit
// but the security unit lies inside e32_vsize, and the header does not run into the module's own
// o32_rom table: a header read in a layout that is not the image's fails one of these (wrong
// units, a subsystem like 7168), and a PE built from it would be wrong throughout.
[[nodiscard]] std::optional<std::string> E32Misfit(const ModuleInfo& module);

// Reads module `module_index` to rebuild it as a PE file, in the layout `layout` decided for the
// image: the errors of ReadModule, and kLayoutUndecided when the image's layout could not be
// decided, or kE32Misfit when the module's header does not fit it (E32Misfit; the message also
// says which other layout it fits, if any). A PE built from a header read in the wrong layout
// would carry wrong directories and a wrong subsystem, so none is built.
[[nodiscard]] Result<ModuleInfo> ReadModuleToRebuild(const RomImage& image, uint32_t module_index,
                                                     const LayoutDetection& layout);

// One stretch of the buffer that a module occupies.
struct ModuleStretch {
  uint32_t offset = 0;
  uint32_t length = 0;  // > 0
  ModulePart part = ModulePart::kName;
  std::optional<uint32_t> section;  // the section of kSectionData (o32_rom index)

  bool operator==(const ModuleStretch&) const = default;
};

// Every stretch a module occupies, in this order: its name (with the 0 byte when there is one),
// its e32_rom header, its o32_rom table (when e32_objcnt > 0), and the stored bytes of each
// section that stores any. Stretches may overlap one another. The TOCentry itself lies in the
// module table and is not listed.
[[nodiscard]] std::vector<ModuleStretch> ModuleStretches(const ModuleInfo& module);

// Reads module `module_index` in `layout` and lists its stretches, or says why it cannot be
// read (then nothing may move past it).
[[nodiscard]] Result<std::vector<ModuleStretch>> ModuleStretches(const RomImage& image,
                                                                 uint32_t module_index,
                                                                 E32Layout layout);

// One log line per section of a read module: index, o32 fields, where the stored bytes lie and
// whether they are compressed, and o32_realaddr, where a writable section lives at run time.
[[nodiscard]] std::vector<std::string> SectionLogLines(const ModuleInfo& module);

}  // namespace rom

#endif  // TARNWICK_ROM_MODULE_READER_H_
