// Tests of the header plausibility test and the search behind another tool's header.
#include "rom/header_search.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "rom/rom_image.h"
#include "rom/rom_layout.h"
#include "tests/image_builder/image_builder.h"

namespace rom {
namespace {

using testimg::Bytes;

constexpr uint32_t kBase = 0x80000000;
constexpr uint32_t kHeader = 0x1000;
constexpr uint32_t kLength = 0x2000;

testimg::ImageBuilder RealLooking() { return testimg::PlausibleImage(); }

// `image` behind a header of `size` bytes that holds its load address and length.
Bytes Wrapped(const Bytes& image, uint32_t size) {
  Bytes out(size, 0);
  testimg::StoreDword(out, 0, 0x12345678);
  testimg::StoreDword(out, 8, kBase);
  testimg::StoreDword(out, 12, static_cast<uint32_t>(image.size()));
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

std::optional<FoundHeader> Search(const Bytes& buffer, uint32_t signature) {
  return SearchWrappedHeader(buffer, static_cast<uint32_t>(buffer.size()), signature);
}

TEST(SearchWrappedHeader, FindsTheImageBehindHeadersOfTwoSizes) {
  for (const uint32_t wrapper : {0x200u, 0x800u}) {
    for (const bool offset_stored : {true, false}) {
      testimg::ImageBuilder b = RealLooking();
      if (!offset_stored) b.PutDword(0x48, 0);
      const Bytes buffer = Wrapped(b.Build(), wrapper);
      const auto found = Search(buffer, wrapper + 0x40);
      ASSERT_TRUE(found) << wrapper << " " << offset_stored;
      EXPECT_EQ(*found, (FoundHeader{wrapper, kHeader, kBase}));
      // The module's name is where the found RomBase says.
      const uint32_t name = kBase + 0x1800 - found->rom_base + found->image_start;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(&buffer[name])), "nk.exe");
    }
  }
}

TEST(SearchWrappedHeader, SignatureBlockWithoutTheHeaderOffset) {
  const Bytes image = RealLooking().PutDword(0x48, 0).Build();
  EXPECT_EQ(Search(image, 0x40), (FoundHeader{0, kHeader, kBase}));
}

TEST(SearchWrappedHeader, DecoysInFrontOfTheRealHeaderDoNotWin) {
  // Both decoys hold the "phys first" the search looks for at their place and a "phys last"
  // above the header's address; one names a module outside the buffer, the other has more
  // module entries than the buffer holds.
  testimg::ImageBuilder b = RealLooking();
  const uint32_t header_address = kBase + kHeader;
  for (const uint32_t decoy : {0x800u, 0x900u}) {
    b.PutDword(decoy + romhdr::physfirst, header_address - decoy);
    b.PutDword(decoy + romhdr::physlast, 0xFFFFFFFF);
  }
  b.PutDword(0x800 + romhdr::nummods, 1);
  b.PutDword(0x800 + romhdr::kSize + tocentry::lpszFileName, 0x10000000);
  b.PutDword(0x900 + romhdr::nummods, 0x1000);
  const Bytes buffer = Wrapped(b.Build(), 0x800);
  EXPECT_EQ(Search(buffer, 0x840), (FoundHeader{0x800, kHeader, kBase}));
  EXPECT_FALSE(HeaderIsPlausible(buffer, 0x800, 0x800 + 0x800, header_address - 0x800));
  EXPECT_FALSE(HeaderIsPlausible(buffer, 0x800, 0x800 + 0x900, header_address - 0x900));
}

TEST(SearchWrappedHeader, UsualRuleStandsWhenItsHeaderIsPlausibleOrNothingBetterIsFound) {
  // Plausible where the signature block says: no search, even with a candidate further on.
  const Bytes plain = RealLooking().Build();
  EXPECT_TRUE(HeaderIsPlausible(plain, 0, kHeader, kBase));
  EXPECT_FALSE(Search(plain, 0x40));

  // Nothing plausible anywhere: "phys last" below the header's address.
  const Bytes broken = RealLooking().HeaderField(romhdr::physlast, kBase).Build();
  EXPECT_FALSE(Search(Wrapped(broken, 0x200), 0x240));
  // A signature below 0x40 has no image start in front of it.
  EXPECT_FALSE(Search(RealLooking().Signature(0x20).PutDword(0x28, 0).Build(), 0x20));
  // The signature block must lie in the buffer.
  EXPECT_FALSE(Search(plain, static_cast<uint32_t>(plain.size()) - 8));
}

TEST(SearchWrappedHeader, RealImagesAreNotTakenForWrapped) {
  const std::filesystem::path dir = TARNWICK_REALDATA;
  for (const char* name : {"6410_EBOOT.nb0", "6410_IROM_EBOOT_SDFUSER.nb0"}) {
    if (!std::filesystem::exists(dir / name)) GTEST_SKIP() << "real images not present";
    Bytes buffer = testimg::ReadFile((dir / name).string());
    const auto length = static_cast<uint32_t>(buffer.size());
    buffer.resize(k32MiB, 0);
    EXPECT_FALSE(SearchWrappedHeader(buffer, length, 0x40)) << name;
    const uint32_t a = testimg::LoadDword(buffer, 0x44);
    const uint32_t o = testimg::LoadDword(buffer, 0x48);
    EXPECT_TRUE(HeaderIsPlausible(buffer, 0, o, a - o)) << name;
  }
}

}  // namespace
}  // namespace rom
