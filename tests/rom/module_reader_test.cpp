// Tests of module reading: e32_rom layout detection, the records read, bounds, stretches.
#include "rom/module_reader.h"

#include <gtest/gtest.h>

#include "tests/rom/module_fixture.h"

namespace rom {
namespace {

using testimg::Adopt;
using testimg::AppModule;
using testimg::ModuleImage;

TEST(DetectE32Layout, DecidesEachLayoutFromTheUnits) {
  for (const bool with : {true, false}) {
    testimg::ModuleSpec second = AppModule(with);
    second.name = "b.dll";
    second.name_offset = 0x1810;
    second.e32_offset = 0x1A40;
    second.o32_offset = 0x1AC0;
    for (auto& s : second.sections) s.data_offset = s.data_offset ? s.data_offset + 0x4000 : 0;
    RomImage image;
    Adopt(image, ModuleImage({AppModule(with), second}));
    const LayoutDetection d = DetectE32Layout(image);
    EXPECT_TRUE(d.decided);
    EXPECT_EQ(d.layout, with ? E32Layout::kWithTimestamp : E32Layout::kWithoutTimestamp);
    EXPECT_EQ(d.modules_examined, 2u);
    EXPECT_EQ(with ? d.votes_with : d.votes_without, 2u);
    EXPECT_EQ(d.log_line, std::string("; e32_rom layout: ") +
                              (with ? "with e32_timestamp (2 module(s) examined: 2 fit the layout "
                                      "with e32_timestamp better, 0 the layout without)"
                                    : "without e32_timestamp (2 module(s) examined: 0 fit the "
                                      "layout with e32_timestamp better, 2 the layout without)"));

    const Result<ModuleInfo> r = ReadModule(image, 0);
    ASSERT_TRUE(r.ok()) << r.error().Message();
    const E32Fields& e = r->e32;
    EXPECT_EQ(e.e32_timestamp, with ? std::optional<uint32_t>(0x4E71AA63) : std::nullopt);
    EXPECT_EQ(e.e32_unit[e32rom::kUnitException], (E32Unit{0x6000, 0x40}));
    EXPECT_EQ(e.e32_unit[e32rom::kUnitFixup], (E32Unit{0x9000, 0x80}));
    EXPECT_EQ(e.e32_subsys, 9);
    EXPECT_EQ(e.e32_vbase, 0x80003000u);
  }
}

TEST(DetectE32Layout, WithoutModulesIsUndecided) {
  RomImage image;
  Adopt(image, ModuleImage({}));
  const LayoutDetection d = DetectE32Layout(image);
  EXPECT_FALSE(d.decided);
  EXPECT_EQ(d.layout, E32Layout::kWithTimestamp);
  EXPECT_NE(d.log_line.find("undecided"), std::string::npos);
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
