// Tests of module reading: e32_rom layout detection, the records read, bounds, stretches.
#include "rom/module_reader.h"

#include <gtest/gtest.h>

#include "tests/rom/module_fixture.h"

namespace rom {
namespace {

using testimg::Adopt;
using testimg::AppModule;
using testimg::ModuleImage;

using testimg::E32Form;
using testimg::TwoModules;

TEST(DetectE32Layout, DecidesEachLayoutFromTheUnits) {
  struct Case {
    E32Form form;
    E32Layout layout;
    const char* log_line;
  };
  const Case cases[] = {
      {E32Form::kWithTimestamp, E32Layout::kWithTimestamp,
       "; e32_rom-Aufbau: mit e32_timestamp (2 Module untersucht, am besten passen 2 zum Aufbau "
       "mit e32_timestamp, 0 zum Aufbau ohne e32_timestamp, 0 zum Aufbau ohne e32_sect14 und "
       "e32_timestamp)"},
      {E32Form::kWithoutTimestamp, E32Layout::kWithoutTimestamp,
       "; e32_rom-Aufbau: ohne e32_timestamp (2 Module untersucht, am besten passen 0 zum Aufbau "
       "mit e32_timestamp, 2 zum Aufbau ohne e32_timestamp, 0 zum Aufbau ohne e32_sect14 und "
       "e32_timestamp)"},
      {E32Form::kYear2000, E32Layout::kWithoutSect14,
       "; e32_rom-Aufbau: ohne e32_sect14 und e32_timestamp (2 Module untersucht, am besten "
       "passen 0 zum Aufbau mit e32_timestamp, 0 zum Aufbau ohne e32_timestamp, 2 zum Aufbau "
       "ohne e32_sect14 und e32_timestamp)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(E32LayoutName(c.layout));
    RomImage image;
    Adopt(image, ModuleImage(TwoModules(c.form)));
    const LayoutDetection d = DetectE32Layout(image);
    EXPECT_TRUE(d.decided);
    EXPECT_EQ(d.layout, c.layout);
    EXPECT_EQ(d.modules_examined, 2u);
    EXPECT_EQ(d.log_line, c.log_line);

    const Result<ModuleInfo> r = ReadModuleToRebuild(image, 0, d);
    ASSERT_TRUE(r.ok()) << r.error().Message();
    const E32Fields& e = r->e32;
    EXPECT_EQ(r->e32_size(), c.form == E32Form::kWithTimestamp      ? 110u
                             : c.form == E32Form::kWithoutTimestamp ? 106u
                                                                    : 98u);
    EXPECT_EQ(e.e32_timestamp, c.form == E32Form::kWithTimestamp
                                   ? std::optional<uint32_t>(0x4E71AA63)
                                   : std::nullopt);
    EXPECT_EQ(e.e32_unit[e32rom::kUnitExport], (E32Unit{0x3010, 0x40}));
    EXPECT_EQ(e.e32_unit[e32rom::kUnitException], (E32Unit{0x6000, 0x40}));
    EXPECT_EQ(e.e32_unit[e32rom::kUnitFixup], (E32Unit{0x9000, 0x80}));
    EXPECT_EQ(e.e32_unit[e32rom::kUnitTls], (E32Unit{0, 0}));
    EXPECT_EQ(e.e32_subsys, 9);
    EXPECT_EQ(e.e32_vsize, 0xA000u);
  }
}

// A year-2000 module whose o32_rom table lies 112 bytes behind its header, with a plausible
// subsystem in the 12 bytes between: the later layout fits the spacing and the subsystem, but
// its units do not start where sections start, so the module is read in its own layout.
TEST(DetectE32Layout, SpacingAndSubsystemAloneDoNotOutvoteTheUnits) {
  std::vector<testimg::ModuleSpec> modules = TwoModules(E32Form::kYear2000);
  testimg::ImageBuilder b(0x10000);
  b.Compressor(testimg::FakeCompress).HeaderField16(68, 0x14C);
  for (testimg::ModuleSpec& m : modules) {
    m.o32_offset = m.e32_offset + 112;
    b.AddModule(m).Put(m.e32_offset + 108, {9, 0});
  }
  RomImage image;
  Adopt(image, b.Build());
  const LayoutDetection d = DetectE32Layout(image);
  EXPECT_TRUE(d.decided);
  EXPECT_EQ(d.layout, E32Layout::kWithoutSect14);
  EXPECT_EQ(d.votes, (std::array<uint32_t, 3>{0, 0, 2}));
}

// Headers whose fields fit every layout (no units, the same subsystem at each layout's place):
// the record spacing decides. The builder laid e32_rom and o32_rom records out in turn, so the
// next header lies one 100-byte record and one o32_rom record behind.
TEST(DetectE32Layout, RecordSpacingDecidesWhereTheFieldsCannot) {
  testimg::ImageBuilder b(0x10000);
  b.HeaderField16(68, 0x14C);
  for (uint32_t i = 0; i < 3; ++i) {
    testimg::ModuleSpec m;
    m.name = "m" + std::to_string(i);
    m.name_offset = 0x1800 + 0x10 * i;
    m.e32_offset = 0x2000 + i * (100 + 24);
    m.o32_offset = 0x3000 + i * 24;
    testimg::E32Spec e;
    e.form = E32Form::kYear2000;
    e.vsize = 0x2000;
    m.e32 = e;
    testimg::SectionSpec s;
    s.rva = 0x1000;
    s.vsize = 0x100;
    s.data = testimg::Pattern(0x100, static_cast<uint8_t>(i));
    s.data_offset = 0x4000 + i * 0x100;
    m.sections.push_back(s);
    b.AddModule(m).Put(m.e32_offset + 104, {9, 0}).Put(m.e32_offset + 108, {9, 0});
  }
  RomImage image;
  Adopt(image, b.Build());
  const LayoutDetection d = DetectE32Layout(image);
  EXPECT_TRUE(d.decided);
  EXPECT_EQ(d.layout, E32Layout::kWithoutSect14);
  EXPECT_EQ(d.modules_examined, 3u);
  // The last module has nothing behind it to measure.
  EXPECT_EQ(d.votes, (std::array<uint32_t, 3>{0, 0, 2}));
}

// A module that fits no layout is not rebuilt, whatever the image's layout, and the refusal
// says why for each layout; one that fits only another layout than the image's says which.
TEST(ReadModuleToRebuild, RefusesAHeaderThatDoesNotFitTheImagesLayout) {
  std::vector<testimg::ModuleSpec> modules = TwoModules(E32Form::kYear2000);
  testimg::ModuleSpec none = AppModule(E32Form::kYear2000);
  none.name = "none.dll";
  none.name_offset = 0x1820;
  none.e32_offset = 0x1B80;
  none.o32_offset = 0x1C00;
  none.sections.resize(1);
  none.e32->subsys = 0;  // and no units: every layout reads subsystem 0
  for (auto& unit : none.e32->units) unit[0] = unit[1] = 0;
  testimg::ModuleSpec later = AppModule(E32Form::kWithTimestamp);
  later.name = "later.dll";
  later.name_offset = 0x1830;
  later.e32_offset = 0x1D00;
  later.o32_offset = 0x1D80;
  later.sections.resize(1);
  modules.push_back(none);
  modules.push_back(later);
  RomImage image;
  Adopt(image, ModuleImage(modules));
  const LayoutDetection d = DetectE32Layout(image);
  ASSERT_TRUE(d.decided);
  ASSERT_EQ(d.layout, E32Layout::kWithoutSect14);
  EXPECT_TRUE(ReadModuleToRebuild(image, 1, d).ok());

  const Result<ModuleInfo> r2 = ReadModuleToRebuild(image, 2, d);
  ASSERT_FALSE(r2.ok());
  EXPECT_EQ(r2.error().kind, ErrorKind::kE32Misfit);
  EXPECT_EQ(r2.error().Message(),
            "module 2 none.dll: e32_rom passt zu keinem Aufbau (mit e32_timestamp: e32_subsys 0 "
            "ist keine PE-Subsystemnummer (1 bis 16); ohne e32_timestamp: e32_subsys 0 ist keine "
            "PE-Subsystemnummer (1 bis 16); ohne e32_sect14 und e32_timestamp: e32_subsys 0 ist "
            "keine PE-Subsystemnummer (1 bis 16)); kein PE geschrieben");

  const Result<ModuleInfo> r3 = ReadModuleToRebuild(image, 3, d);
  ASSERT_FALSE(r3.ok());
  EXPECT_EQ(r3.error().kind, ErrorKind::kE32Misfit);
  EXPECT_NE(r3.error().Message().find("nur zu mit e32_timestamp; kein PE geschrieben"),
            std::string::npos)
      << r3.error().Message();

  // Alone, the module that fits nothing leaves the layout undecided, and is refused all the same.
  RomImage alone;
  Adopt(alone, ModuleImage({none}));
  const LayoutDetection u = DetectE32Layout(alone);
  EXPECT_FALSE(u.decided);
  EXPECT_EQ(u.log_line,
            "; e32_rom-Aufbau: nicht entscheidbar (1 Module untersucht, am besten passen 0 zum "
            "Aufbau mit e32_timestamp, 0 zum Aufbau ohne e32_timestamp, 0 zum Aufbau ohne "
            "e32_sect14 und e32_timestamp; kein Modul wird neu gebaut)");
  const Result<ModuleInfo> r = ReadModuleToRebuild(alone, 0, u);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().kind, ErrorKind::kLayoutUndecided);
  EXPECT_NE(r.error().Message().find("passt zu keinem Aufbau"), std::string::npos);
}

TEST(DetectE32Layout, WithoutModulesIsUndecided) {
  RomImage image;
  Adopt(image, ModuleImage({}));
  const LayoutDetection d = DetectE32Layout(image);
  EXPECT_FALSE(d.decided);
  EXPECT_EQ(d.layout, E32Layout::kWithTimestamp);
  EXPECT_NE(d.log_line.find("nicht entscheidbar"), std::string::npos);
}

TEST(ReadModule, ReadsTheRecordsAndListsEveryStretch) {
  RomImage image;
  Adopt(image, ModuleImage({AppModule()}));
  const Result<ModuleInfo> r = ReadModule(image, 0, E32Layout::kWithTimestamp);
  ASSERT_TRUE(r.ok()) << r.error().Message();
  const ModuleInfo& m = *r;
  EXPECT_EQ(m.name, "app.exe");
  EXPECT_EQ(m.entry_offset, 0x1000u + 84u);
  ASSERT_EQ(m.sections.size(), 7u);
  const SectionInfo& s2 = m.sections[2];
  EXPECT_EQ(s2.record_offset, 0x1980u + 2 * 24);
  EXPECT_EQ(s2.o32_rva, 0x4000u);
  EXPECT_EQ(s2.o32_vsize, 0x1000u);
  EXPECT_EQ(s2.o32_psize, 0x304u);  // the stand-in stream of 0x300 bytes
  EXPECT_EQ(s2.o32_realaddr, 0x8C000000u);
  EXPECT_EQ(s2.o32_flags, 0xC0002040u);
  EXPECT_TRUE(s2.compressed());
  EXPECT_EQ(s2.data_offset, 0x7000u);

  // The uninitialised section 6 stores nothing and occupies nothing.
  using P = ModulePart;
  EXPECT_EQ(ModuleStretches(m), (std::vector<ModuleStretch>{{0x1800, 8, P::kName},
                                                            {0x1900, 110, P::kE32Header},
                                                            {0x1980, 7 * 24, P::kO32Table},
                                                            {0x4000, 0x1800, P::kSectionData, 0},
                                                            {0x6000, 0x904, P::kSectionData, 1},
                                                            {0x7000, 0x304, P::kSectionData, 2},
                                                            {0x7800, 0x100, P::kSectionData, 3},
                                                            {0x7A00, 0x40, P::kSectionData, 4},
                                                            {0x7C00, 0x200, P::kSectionData, 5}}));
}

// One damaged part per case: a problem naming it, no read outside the buffer (the buffer is
// exactly the image, so AddressSanitizer sees any overread), and no stretches.
TEST(ReadModule, RefusesWhatDoesNotLieInTheBuffer) {
  struct Case {
    const char* what;
    void (*damage)(testimg::ModuleSpec&);
    ErrorKind kind;
    std::optional<uint32_t> section;
    const char* message;
  };
  const Case cases[] = {
      {"objcnt 65535", [](testimg::ModuleSpec& m) { m.e32->objcnt = 65535; },
       ErrorKind::kTooManySections, std::nullopt,
       "module 0 app.exe: e32_objcnt 65535 is above 96, the most sections a module has"},
      {"o32 table past the end",
       [](testimg::ModuleSpec& m) {
         m.sections.resize(2);
         m.e32->objcnt = 96;
         m.o32_offset = 0x10000 - 95 * 24;
       },
       ErrorKind::kO32Outside, std::nullopt,
       "module 0 app.exe: its o32_rom table (0000F718, 96 records of 24 bytes) lies outside the "
       "buffer"},
      {"stored bytes past the end", [](testimg::ModuleSpec& m) { m.sections[1].psize = 0xA001; },
       ErrorKind::kSectionOutside, 1u,
       "module 0 app.exe: the stored bytes of section 1 (00006000, 40961 bytes) lie outside the "
       "buffer"},
      {"stored bytes wrapping round",
       [](testimg::ModuleSpec& m) {
         m.sections[3].dataptr = 0x7FFFFFF0;  // offset 0xFFFFFFF0
         m.sections[3].psize = 0x20;
       },
       ErrorKind::kSectionOutside, 3u,
       "module 0 app.exe: the stored bytes of section 3 (FFFFFFF0, 32 bytes) lie outside the "
       "buffer"},
      {"e32 at the end", [](testimg::ModuleSpec& m) { m.e32_offset = 0x10000 - 108; },
       ErrorKind::kE32Outside, std::nullopt,
       "module 0 app.exe: its e32_rom header (0000FF94, 110 bytes) lies outside the buffer"},
      {"name outside", [](testimg::ModuleSpec& m) { m.name_offset = 0x20000; },
       ErrorKind::kNameOutside, std::nullopt,
       "module 0: its name (00020000) lies outside the buffer"},
  };
  for (const Case& c : cases) {
    testimg::ModuleSpec m = AppModule();
    c.damage(m);
    testimg::ImageBuilder b(0x10000);
    b.Compressor(testimg::FakeCompress);
    if (m.name_offset >= 0x10000) {
      // The builder writes names; put it in range and point the entry outside afterwards.
      m.name_offset = 0x1800;
      b.AddModule(m).PutDword(0x1000 + 84 + 16, 0x80020000);
    } else if (m.e32_offset > 0x10000 - 110) {
      // Write the header elsewhere; only its address points at the end.
      const uint32_t at = m.e32_offset;
      m.e32_offset = 0x1900;
      b.AddModule(m).PutDword(0x1000 + 84 + 20, 0x80000000 + at);
    } else if (m.o32_offset > 0x10000 - 96 * 24) {
      const uint32_t at = m.o32_offset;
      m.o32_offset = 0x1980;
      b.AddModule(m).PutDword(0x1000 + 84 + 24, 0x80000000 + at);
    } else {
      b.AddModule(m);
    }
    RomImage image;
    Adopt(image, b.Build());
    const Result<ModuleInfo> r = ReadModule(image, 0, E32Layout::kWithTimestamp);
    ASSERT_FALSE(r.ok()) << c.what;
    EXPECT_EQ(r.error().kind, c.kind) << c.what;
    EXPECT_EQ(r.error().section, c.section) << c.what;
    EXPECT_EQ(r.error().module, 0u) << c.what;
    EXPECT_EQ(r.error().Message(), c.message) << c.what;
    const auto s = ModuleStretches(image, 0, E32Layout::kWithTimestamp);
    ASSERT_FALSE(s.ok()) << c.what;
    EXPECT_EQ(s.error().kind, c.kind) << c.what;
  }
  RomImage image;
  Adopt(image, ModuleImage({AppModule()}));
  EXPECT_EQ(ReadModule(image, 1).error().kind, ErrorKind::kNoSuchModule);
}

TEST(ReadModule, ObjcntZeroIsAModuleWithoutSections) {
  testimg::ModuleSpec m = AppModule();
  m.sections.clear();
  RomImage image;
  Adopt(image, ModuleImage({m}));
  const Result<ModuleInfo> r = ReadModule(image, 0, E32Layout::kWithTimestamp);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r->sections.empty());
  EXPECT_EQ(ModuleStretches(*r).size(), 2u);  // name and e32_rom
}

}  // namespace
}  // namespace rom
