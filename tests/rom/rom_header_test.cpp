// Tests of the signature search, the second header pointer and the table views.
#include "rom/rom_header.h"

#include <gtest/gtest.h>

#include "tests/rom/rom_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;
using testimg::ImageBuilder;

class LocateTest : public testimg::RomFixture {
 protected:
  std::optional<HeaderLocation> Locate(const Bytes& bytes) {
    Load(bytes);
    return LocateRomHeader(image_);
  }
};

TEST_F(LocateTest, SignatureOnlyAtMultiplesOfFour) {
  auto loc = Locate(ImageBuilder(0x2000).Signature(0).Build());
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->signature_offset, 0u);

  Bytes shifted(0x2000, 0);
  const Bytes sig = testimg::BytesOf("ECEC");
  std::copy(sig.begin(), sig.end(), shifted.begin() + 2);
  EXPECT_FALSE(Locate(shifted));
  EXPECT_EQ(image_.SignatureOffset(), -1);

  Bytes reversed(0x2000, 0);
  const Bytes ce = testimg::BytesOf("CECE");
  std::copy(ce.begin(), ce.end(), reversed.begin() + 8);
  EXPECT_FALSE(Locate(reversed));
}

TEST_F(LocateTest, LowerOfTwoSignaturesWins) {
  ImageBuilder b(0x2000);
  b.Signature(0x100).HeaderOffset(0x1000).Put(0x200, testimg::BytesOf("ECEC"));
  auto loc = Locate(b.Build());
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->signature_offset, 0x100u);
  EXPECT_EQ(image_.HeaderPointerOffset(), 0x104u);
  EXPECT_EQ(image_.RomHeaderOffset(), 0x1000u);
  EXPECT_EQ(image_.RomBase(), 0x80000000u);
}

TEST_F(LocateTest, SecondPointerSearchEndsAtTheDwordAt65536) {
  ImageBuilder at_limit(0x20000);
  at_limit.SecondPointer(0x10000);
  ASSERT_TRUE(Locate(at_limit.Build()));
  EXPECT_EQ(image_.SecondPointerOffset(), 0x10000u);

  ImageBuilder beyond(0x20000);
  beyond.SecondPointer(0x10004);
  ASSERT_TRUE(Locate(beyond.Build()));
  EXPECT_EQ(image_.SecondPointerOffset(), 0u);

  // With S+8 beyond the bound exactly one dword, the one at S+8, is examined: with RomBase 0
  // the header offset there equals the header address.
  ImageBuilder late(0x20000);
  late.Signature(0x10000 - 4 + 8).RomBase(0).HeaderOffset(0x18000);
  ASSERT_TRUE(Locate(late.Build()));
  EXPECT_EQ(image_.SecondPointerOffset(), 0x1000Cu);

  ImageBuilder two(0x20000);
  two.SecondPointer(0x3000).PutDword(0x2000, 0x80001000);
  ASSERT_TRUE(Locate(two.Build()));
  EXPECT_EQ(image_.SecondPointerOffset(), 0x2000u);
}

TEST_F(LocateTest, RomBaseZeroFindsTheSecondPointerAtSPlus8) {
  ASSERT_TRUE(Locate(ImageBuilder(0x2000).RomBase(0).Build()));
  EXPECT_EQ(image_.SecondPointerOffset(), 0x48u);
}

TEST_F(LocateTest, TablesFollowTheHeader) {
  ImageBuilder b(0x2000);
  b.AddFile({.name = "x", .name_offset = 0x1800, .data = {1}, .data_offset = 0x1900});
  ASSERT_TRUE(Locate(b.Build()));
  EXPECT_EQ(image_.ModuleCount(), 0u);
  EXPECT_EQ(image_.FileTable(), 0x1000u + 84);
  EXPECT_EQ(image_.FileCount(), 1u);
}

TEST_F(LocateTest, NamesFollowTheAddressRule) {
  // Header at offset O = 0x1000 with address A = 0x9000F000: a name at A + 100 lies at O + 100.
  ImageBuilder b(0x3000);
  b.RomBase(0x9000F000 - 0x1000)
      .AddModule({.name = "mod", .name_offset = 0x1000 + 0x200})
      .AddFile({.name = "f", .name_offset = 0x2000, .data = {}, .data_offset = 0x2010});
  ASSERT_TRUE(Locate(b.Build()));
  EXPECT_EQ(image_.RomBase(), 0x9000E000u);
  EXPECT_EQ(image_.ReadRomString(0x9000F000 + 0x200), "mod");
}

TEST_F(LocateTest, FindFileByOffsetReturnsTheLowerIndexOfTwins) {
  ImageBuilder b(0x3000);
  b.AddFile({.name = "a", .name_offset = 0x2000, .data = {1, 2}, .data_offset = 0x2100})
      .AddFile({.name = "b", .name_offset = 0x2010, .data = {3, 4}, .data_offset = 0x2200})
      .AddFile({.name = "c", .name_offset = 0x2020, .data = {3, 4}, .data_offset = 0x2200});
  ASSERT_TRUE(Locate(b.Build()));
  EXPECT_EQ(FindFileByOffset(image_, 0x2200), 1);
  EXPECT_EQ(FindFileByOffset(image_, 0x2100), 0);
  EXPECT_EQ(FindFileByOffset(image_, 0x2101), -1);
}

TEST_F(LocateTest, HostileCountsAndOffsetsStayInsideTheBuffer) {
  // Header address pointing far outside the buffer.
  ImageBuilder outside(0x2000);
  outside.PutDword(0x48, 0xFFFFFFF0);
  Bytes bytes = outside.Build();
  auto loc = Locate(bytes);
  ASSERT_TRUE(loc);
  EXPECT_FALSE(image_.RomHeaderInBuffer());
  EXPECT_FALSE(RomHeaderView(image_));
  EXPECT_EQ(image_.FileCount(), 0u);

  // Counts of 0xFFFFFFFF: only whole entries inside the buffer count.
  // The header lies 120 bytes before the end of a 32 MiB image.
  bytes = ImageBuilder(rom::k32MiB)
              .HeaderOffset(rom::k32MiB - 84 - 120)
              .HeaderField(48, 0xFFFFFFFF)
              .Build();
  loc = Locate(bytes);
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->numfiles, 0xFFFFFFFFu);
  EXPECT_EQ(image_.FileCount(), 4u);  // 120 bytes behind the header hold 4 whole entries
  EXPECT_TRUE(FileEntry(image_, 3));
  EXPECT_FALSE(FileEntry(image_, 4));

  ImageBuilder mods(0x2000);
  bytes = mods.HeaderField(16, 0x08000000).HeaderField(48, 1).Build();
  loc = Locate(bytes);
  ASSERT_TRUE(loc);
  // 32 * 0x08000000 wraps to 0 in 32 bits; the file table must not be found at O + 84.
  EXPECT_EQ(image_.FileCount(), 0u);
}

TEST_F(LocateTest, SignatureInTheLastDwordHasNoHeader) {
  Bytes bytes(rom::k32MiB, 0);
  const Bytes sig = testimg::BytesOf("ECEC");
  std::copy(sig.begin(), sig.end(), bytes.end() - 4);
  EXPECT_FALSE(Locate(bytes));
}

}  // namespace
}  // namespace rom
