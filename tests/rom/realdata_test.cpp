// Tests on real bootloader images built by the platform's own image builder.
// They skip when the folder of real images is absent.
#include <gtest/gtest.h>

#include <filesystem>

#include "rom/listing/analysis.h"
#include "rom/rom_image.h"
#include "rom/text_format.h"
#include "tests/rom/list_texts.h"

namespace rom {
namespace {

std::string RealImage(const char* name) {
  const std::filesystem::path p = std::filesystem::path(TARNWICK_REALDATA) / name;
  return std::filesystem::exists(p) ? p.string() : std::string();
}

struct Expected {
  const char* file;
  const char* ecec_line;
};

TEST(RealImages, LogAndMapOfTheBootloaders) {
  const Expected cases[] = {
      {"6410_EBOOT.nb0", "; ECEC found @ 00000040 Header (abs) @ 8008D810, (in Img) @ 0005D810"},
      {"6410_IROM_EBOOT_SDFUSER.nb0",
       "; ECEC found @ 00000040 Header (abs) @ 80090F4C, (in Img) @ 00060F4C"},
  };
  for (const Expected& c : cases) {
    const std::string path = RealImage(c.file);
    if (path.empty()) GTEST_SKIP() << "real images not present";
    RomImage image;
    RomLists lists;
    ASSERT_TRUE(LoadImage(image, path, FlashChoice::k32MB, 0).ok());
    AnalyseImage(image, lists);
    const testimg::Lines log = testimg::TextsOf(lists.AnalysisLog);
    ASSERT_EQ(log.size(), 36u) << c.file;
    EXPECT_EQ(log[2], c.ecec_line);
    EXPECT_EQ(log[3], "; zweiter Ptr zum RomHdr FEHLT !!!");
    // The bootloaders are padded behind what "phys last" marks.
    EXPECT_EQ(log[27].substr(0, 12), "; phys last ");
    EXPECT_NE(log[27].find("ist nicht das Ende des Image"), std::string::npos);
    EXPECT_EQ(log[28], "; =========================== Modules = 1");
    EXPECT_EQ(log[30].substr(0, 29), "M[--R-]  nk.exe              ");
    EXPECT_EQ(log[34],
              "; e32_rom-Aufbau: mit e32_timestamp (1 Module untersucht, am besten passen 1 zum "
              "Aufbau mit e32_timestamp, 0 zum Aufbau ohne e32_timestamp, 0 zum Aufbau ohne "
              "e32_sect14 und e32_timestamp)");
    EXPECT_EQ(log.back(), "; =========================== Files = 0");
    // Header block (84 + 32 bytes), leading gap and tail.
    ASSERT_EQ(lists.MemoryMap.size(), 3u);
    EXPECT_NE(lists.MemoryMap[1].text.find("-------- ROM Header"), std::string::npos);
    EXPECT_EQ(lists.MemoryMap[1].kind, StretchKind::kHeader);
    EXPECT_EQ(lists.MemoryMap[1].last - lists.MemoryMap[1].first, 84u + 32u - 1u);
  }
}

TEST(RealImages, SteploaderHasNoSignature) {
  const std::string path = RealImage("6410_STEPLDR.nb0");
  if (path.empty()) GTEST_SKIP() << "real images not present";
  RomImage image;
  RomLists lists;
  ASSERT_TRUE(LoadImage(image, path, FlashChoice::k64MB, 0xFF).ok());
  AnalyseImage(image, lists);
  EXPECT_EQ(testimg::TextsOf(lists.AnalysisLog),
            (testimg::Lines{"; File: " + path, "; Size   = 00002000 (8192)"}));
  EXPECT_TRUE(lists.MemoryMap.empty());
}

}  // namespace
}  // namespace rom
