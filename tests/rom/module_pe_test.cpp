// Tests of the PE rebuild: round trips on built images read back by an independent reader (and by
// objdump where Debian's binutils are installed), hostile modules, and the real images.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "rom/module_reader.h"
#include "rom/pe_builder.h"
#include "tests/rom/module_fixture.h"
#include "tests/rom/test_files.h"

namespace rom {
namespace {

using testimg::Adopt;
using testimg::AppModule;
using testimg::Bytes;
using testimg::ModuleImage;
using testimg::ParsedPe;

const Decompressor kFake = testimg::FakeDecompress;

// Reads module 0 and rebuilds it; the test fails when either step does.
PeFile Rebuild(const RomImage& image, E32Layout layout = E32Layout::kWithTimestamp,
               const Decompressor& decompress = kFake) {
  const Result<ModuleInfo> r = ReadModule(image, 0, layout);
  EXPECT_TRUE(r.ok()) << r.error().Message();
  if (!r.ok()) return {};
  const Result<PeFile> pe = BuildPeFile(image, *r, *RomCpuType(image), decompress);
  EXPECT_TRUE(pe.ok()) << pe.error().Message();
  return pe.ok() ? *pe : PeFile{};
}

Error RebuildProblem(const RomImage& image, const Decompressor& decompress = kFake) {
  const Result<ModuleInfo> r = ReadModule(image, 0, E32Layout::kWithTimestamp);
  EXPECT_TRUE(r.ok()) << r.error().Message();
  if (!r.ok()) return {};
  const Result<PeFile> pe = BuildPeFile(image, *r, 0x14C, decompress);
  EXPECT_FALSE(pe.ok());
  return pe.ok() ? Error{} : pe.error();
}

// The content a section must show at its rva: its data, then zeros up to o32_vsize.
Bytes Loaded(const testimg::SectionSpec& s) {
  Bytes b = s.data;
  b.resize(s.vsize, 0);
  return b;
}

std::string RunObjdump(const std::string& path) {
  const std::string cmd = "objdump -h -p '" + path + "' 2>&1";
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return {};
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

// Each layout as the image builder writes it: the layout is found, and the rebuilt file holds
// what the header says in that layout (the timestamp and the sect14 pair only where it has them).
TEST(BuildPeFile, RoundTripOfEveryKindOfSectionInEachLayout) {
  using testimg::E32Form;
  const std::pair<E32Form, E32Layout> layouts[] = {
      {E32Form::kWithTimestamp, E32Layout::kWithTimestamp},
      {E32Form::kWithoutTimestamp, E32Layout::kWithoutTimestamp},
      {E32Form::kYear2000, E32Layout::kWithoutSect14}};
  for (const auto& [form, layout] : layouts) {
    SCOPED_TRACE(E32LayoutName(layout));
    testimg::ModuleSpec module_spec = AppModule(form);
    module_spec.e32->sect14rva = 0x3200;  // in section 1
    module_spec.e32->sect14size = 0x48;
    RomImage image;
    Adopt(image, ModuleImage({module_spec}));
    const LayoutDetection detected = DetectE32Layout(image);
    ASSERT_TRUE(detected.decided);
    ASSERT_EQ(detected.layout, layout);
    ASSERT_TRUE(ReadModuleToRebuild(image, 0, detected).ok());
    const PeFile pe = Rebuild(image, layout);
    const ParsedPe parsed = testimg::ParsePe(pe.bytes);
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.machine, 0x14C);
    EXPECT_EQ(parsed.timestamp, form == E32Form::kWithTimestamp ? 0x4E71AA63u : 0u);
    EXPECT_EQ(parsed.characteristics, 0x0123);  // e32_imageflags + relocations stripped
    EXPECT_EQ(parsed.image_base, 0x80003000u);
    EXPECT_EQ(parsed.entry, 0x1234u);
    EXPECT_EQ(parsed.subsystem, 9);
    EXPECT_EQ(parsed.stack_reserve, 0x10000u);
    EXPECT_EQ(parsed.section_alignment, 0x1000u);
    EXPECT_EQ(parsed.file_alignment, 0x200u);
    EXPECT_EQ(parsed.size_of_image, 0xA000u);
    EXPECT_EQ(pe.bytes.size(), 0x4200u);

    const char* names[] = {".text", ".rdata", ".data", ".data", ".pdata", ".rsrc", ".bss"};
    ASSERT_EQ(parsed.sections.size(), module_spec.sections.size());
    for (size_t i = 0; i < module_spec.sections.size(); ++i) {
      const testimg::SectionSpec& s = module_spec.sections[i];
      const ParsedPe::Section& p = parsed.sections[i];
      EXPECT_EQ(p.name, names[i]) << i;
      EXPECT_EQ(p.rva, s.rva) << i;
      EXPECT_EQ(p.vsize, s.vsize) << i;
      EXPECT_EQ(p.flags, s.flags) << i;  // 0x2000 dropped from the compressed ones
      EXPECT_EQ(parsed.At(pe.bytes, s.rva, s.vsize), Loaded(s)) << i;
    }
    EXPECT_EQ(parsed.sections[6].raw_size, 0u);  // nothing stored: no file data
    using Dir = std::array<uint32_t, 2>;
    EXPECT_EQ(parsed.dirs[0], (Dir{0x3010, 0x40}));
    EXPECT_EQ(parsed.dirs[1], (Dir{0x3100, 0x28}));
    EXPECT_EQ(parsed.dirs[2], (Dir{0x7000, 0x200}));
    EXPECT_EQ(parsed.dirs[3], (Dir{0x6000, 0x40}));
    EXPECT_EQ(parsed.dirs[5], (Dir{0, 0}));
    EXPECT_EQ(parsed.dirs[6], (Dir{0x1000, 0x1C}));
    EXPECT_EQ(parsed.dirs[9], (Dir{0, 0}));
    EXPECT_EQ(parsed.dirs[14], form == E32Form::kYear2000 ? (Dir{0, 0}) : (Dir{0x3200, 0x48}));
    EXPECT_EQ(pe.log.back(),
              "directory 5 (fixup unit 00009000, 128 bytes) lies in no section: left empty");
    EXPECT_EQ(pe.log[2],
              "section 2 .data: rva 00004000 vsize 00001000, decoded from 772 compressed bytes, "
              "realaddr 8C000000");
  }
}

TEST(BuildPeFile, ObjdumpReadsTheRebuiltFile) {
  RomImage image;
  Adopt(image, ModuleImage({AppModule()}));
  const PeFile pe = Rebuild(image);
  testimg::TempDir dir;
  testimg::WriteFile(dir.File("app.exe"), pe.bytes);
  const std::string out = RunObjdump(dir.File("app.exe"));
  if (out.find("file format pei-i386") == std::string::npos) {
    GTEST_SKIP() << "objdump for pei-i386 not available: " << out.substr(0, 200);
  }
  // objdump also reads the stand-in contents as tables and warns about them; what counts is that
  // it takes the headers without complaint.
  EXPECT_EQ(out.find("objdump:"), std::string::npos) << out;
  EXPECT_NE(out.find("ImageBase\t\t80003000"), std::string::npos) << out;
  EXPECT_NE(out.find("Entry 2 00007000 00000200 Resource Directory [.rsrc]"), std::string::npos)
      << out;
  EXPECT_NE(out.find("Entry 3 00006000 00000040 Exception Directory [.pdata]"), std::string::npos)
      << out;
  // Section 2: VMA = ImageBase + rva, file offset 0x2600.
  EXPECT_NE(out.find("  2 .data         00001000  80007000  80007000  00002600"), std::string::npos)
      << out;
}

// The image builder moves read-only sections onto their place in the image, so a writable
// section can share its rva with one of them (as in the real images): the section that does not
// run in place moves behind the others, and a directory inside it moves along.
TEST(BuildPeFile, MovesASectionWhoseRvaRangeIsTaken) {
  testimg::ModuleSpec m = AppModule();
  m.sections.resize(1);
  m.e32->vsize = 0x6000;
  for (auto& u : m.e32->units) u[0] = u[1] = 0;
  m.e32->units[3][0] = 0x3000, m.e32->units[3][1] = 0x40;  // exception
  m.e32->units[8][0] = 0x4800, m.e32->units[8][1] = 0x18;  // thread-local storage, in .data
  testimg::SectionSpec data;
  data.rva = 0x3000, data.vsize = 0x2000, data.data = testimg::Pattern(0x1800, 7);
  data.data_offset = 0x7000, data.flags = 0xC0000040, data.realaddr = 0x8C000000;
  testimg::SectionSpec pdata;  // runs in place: e32_vbase + rva = its stored address
  pdata.rva = 0x3000, pdata.vsize = 0x40, pdata.data = testimg::Pattern(0x40, 8);
  pdata.data_offset = 0x6000, pdata.flags = 0x40000040;
  m.sections.push_back(data);
  m.sections.push_back(pdata);
  testimg::SectionSpec empty;  // nothing stored, no size, at the start of the code
  empty.rva = 0x1000, empty.flags = 0x40000040;
  m.sections.push_back(empty);
  RomImage image;
  Adopt(image, ModuleImage({m}));
  const PeFile pe = Rebuild(image);
  const ParsedPe parsed = testimg::ParsePe(pe.bytes);
  ASSERT_EQ(parsed.error, "");
  ASSERT_EQ(parsed.sections.size(), 4u);
  EXPECT_EQ(parsed.sections[1].name, ".pdata");
  EXPECT_EQ(parsed.sections[1].rva, 0x3000u);
  EXPECT_EQ(parsed.sections[2].name, ".data");
  EXPECT_EQ(parsed.sections[2].rva, 0x6000u);
  EXPECT_EQ(parsed.At(pe.bytes, 0x3000, 0x40), Loaded(pdata));
  EXPECT_EQ(parsed.At(pe.bytes, 0x6000, 0x2000), Loaded(data));
  EXPECT_EQ(parsed.dirs[3], (std::array<uint32_t, 2>{0x3000, 0x40}));
  EXPECT_EQ(parsed.dirs[9], (std::array<uint32_t, 2>{0x7800, 0x18}));
  EXPECT_EQ(parsed.sections[3].rva, 0x8000u);
  EXPECT_EQ(pe.log[4],
            "section 1 .data: its o32_rva 00003000 overlaps section 2, so it is placed at rva "
            "00006000");
  EXPECT_EQ(pe.log[5],
            "section 3 .rdata: its o32_rva 00001000 overlaps section 0, so it is placed at rva "
            "00008000");
  EXPECT_TRUE(pe.sections[2].moved);
}

TEST(BuildPeFile, SectionsSharingStoredBytesBothGetThem) {
  testimg::ModuleSpec m = AppModule();
  m.sections.resize(2);
  m.sections[1].compress = false;
  m.sections[1].data = {};
  m.sections[1].psize = 0x800;
  m.sections[1].dataptr = 0x80004000;  // section 0's bytes
  RomImage image;
  Adopt(image, ModuleImage({m}));
  const PeFile pe = Rebuild(image);
  const ParsedPe parsed = testimg::ParsePe(pe.bytes);
  ASSERT_EQ(parsed.error, "");
  Bytes expected(m.sections[0].data.begin(), m.sections[0].data.begin() + 0x800);
  expected.resize(0x900, 0);
  EXPECT_EQ(parsed.At(pe.bytes, 0x3000, 0x900), expected);
}

TEST(BuildPeFile, RefusesWhatCannotBeRebuilt) {
  {
    // A corrupt stream: its length field says one byte more than follows.
    testimg::ModuleSpec m = AppModule();
    testimg::ImageBuilder b(0x10000);
    b.Compressor(testimg::FakeCompress).HeaderField16(68, 0x14C).AddModule(m);
    b.PutDword(0x7000, 0x301);
    RomImage image;
    Adopt(image, b.Build());
    const Error p = RebuildProblem(image);
    EXPECT_EQ(p.kind, ErrorKind::kCorruptSection);
    EXPECT_EQ(p.section, 2u);
    EXPECT_EQ(p.Message(),
              "module 0 app.exe: section 2 (.data): its compressed stream (772 bytes at 00007000) "
              "is corrupt or decodes to more than o32_vsize (4096 bytes)");
    EXPECT_EQ(RebuildProblem(image, Decompressor()).kind, ErrorKind::kNoDecompressor);
  }
  {
    // Decoded data longer than o32_vsize does not fit the section.
    testimg::ModuleSpec m = AppModule();
    m.sections[1].vsize = 0x8FF;
    RomImage image;
    Adopt(image, ModuleImage({m}));
    EXPECT_EQ(RebuildProblem(image).kind, ErrorKind::kCorruptSection);
  }
  {
    testimg::ModuleSpec m = AppModule();
    m.sections.clear();
    RomImage image;
    Adopt(image, ModuleImage({m}));
    EXPECT_EQ(RebuildProblem(image).Message(),
              "module 0 app.exe: e32_objcnt is 0, the module has no sections to rebuild");
  }
  {
    // A hostile o32_vsize is refused before anything of that size is allocated.
    testimg::ModuleSpec m = AppModule();
    m.sections[2].vsize = 0xFFFFFFF0;
    RomImage image;
    Adopt(image, ModuleImage({m}));
    const Error p = RebuildProblem(image);
    EXPECT_EQ(p.kind, ErrorKind::kPeTooLarge);
    EXPECT_EQ(p.section, 2u);
  }
  {
    testimg::ModuleSpec m = AppModule();
    m.sections[6].rva = 0xFFFFF000;
    RomImage image;
    Adopt(image, ModuleImage({m}));
    EXPECT_EQ(RebuildProblem(image).kind, ErrorKind::kNoRoom);
  }
}

std::string RealImage(const char* name) {
  const std::filesystem::path p = std::filesystem::path(TARNWICK_REALDATA) / name;
  return std::filesystem::exists(p) ? p.string() : std::string();
}

// Each real image holds one module, nk.exe: code in place, writable data copied to RAM (its
// o32_rva taken by the exception table, moved onto it), fixups not stored.
TEST(RealImages, NkExeReadsAndRebuilds) {
  struct Expected {
    const char* file;
    uint32_t text_vsize, data_vsize, pdata_rva, pdata_vsize;
  };
  const Expected cases[] = {{"6410_EBOOT.nb0", 0x5B25C, 0x82A8, 0x5D000, 0x750},
                            {"6410_IROM_EBOOT_SDFUSER.nb0", 0x5E310, 0x9F38, 0x60000, 0x888}};
  for (const Expected& c : cases) {
    const std::string path = RealImage(c.file);
    if (path.empty()) GTEST_SKIP() << "real images not present";
    RomImage image;
    ASSERT_TRUE(LoadImage(image, path, FlashChoice::k32MB, 0).ok());
    (void)LocateRomHeader(image);
    const LayoutDetection layout = DetectE32Layout(image);
    EXPECT_TRUE(layout.decided) << c.file;
    EXPECT_EQ(layout.layout, E32Layout::kWithTimestamp) << c.file;
    std::cout << c.file << "\n" << layout.log_line << "\n";
    const Result<ModuleInfo> r = ReadModule(image, 0, layout.layout);
    ASSERT_TRUE(r.ok()) << r.error().Message();
    EXPECT_EQ(r->name, "nk.exe");
    for (const std::string& line : SectionLogLines(*r)) std::cout << line << "\n";
    EXPECT_EQ(*RomCpuType(image), 0x1C2);  // THUMB

    // No section is compressed: a decompression that always fails must not be asked.
    const Decompressor never = [](std::span<const uint8_t>, std::span<uint8_t>) {
      return std::optional<uint32_t>();
    };
    const Result<PeFile> pe = BuildPeFile(image, *r, 0x1C2, never);
    ASSERT_TRUE(pe.ok()) << pe.error().Message();
    for (const std::string& line : pe->log) std::cout << "  " << line << "\n";
    const ParsedPe parsed = testimg::ParsePe(pe->bytes);
    ASSERT_EQ(parsed.error, "") << c.file;
    EXPECT_EQ(parsed.machine, 0x1C2);
    ASSERT_EQ(parsed.sections.size(), 3u);
    EXPECT_EQ(parsed.sections[0].name, ".text");
    EXPECT_EQ(parsed.sections[0].vsize, c.text_vsize);
    EXPECT_EQ(parsed.sections[1].name, ".pdata");
    EXPECT_EQ(parsed.sections[1].rva, c.pdata_rva);
    EXPECT_EQ(parsed.sections[2].name, ".data");
    EXPECT_EQ(parsed.sections[2].vsize, c.data_vsize);
    EXPECT_EQ(parsed.dirs[3], (std::array<uint32_t, 2>{c.pdata_rva, c.pdata_vsize}));
    // The code at its rva is the image's bytes at the section's stored position.
    const SectionInfo& text = r->sections[0];
    const auto stored = *image.Bytes(text.data_offset, 4096);
    const Bytes want(stored.begin(), stored.end());
    EXPECT_EQ(parsed.At(pe->bytes, text.o32_rva, 4096), want);
  }
}

}  // namespace
}  // namespace rom
