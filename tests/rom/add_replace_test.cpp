// Tests of file addition and replacement.
#include "rom/add_replace.h"

#include <gtest/gtest.h>

#include "rom/listing/row_actions.h"
#include "tests/rom/edit_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;
using testimg::ImageBuilder;
using testimg::Pattern;

class AddTest : public testimg::EditFixture {
 protected:
  // Adds `content` under the name of `picked_as`, then analyses as the callers do.
  Result<Done> Add(const std::string& picked_as, const Bytes& content, uint64_t time = 0) {
    const auto name = EntryNameFromPath(picked_as);
    EXPECT_TRUE(name.ok());
    auto r = AddFile(image_, name.value(), content, time);
    if (r.ok()) AnalyseImage(image_, lists_);
    return r;
  }
};

TEST_F(AddTest, InsertsNameAndDataInFrontOfTheHeader) {
  ImageBuilder b(0x40000 + 84);
  b.HeaderOffset(0x40000).SecondPointer(0x100);
  Load(b.Build());
  EXPECT_FALSE(CheckTableEnd(image_));
  const auto o = Add("C:\\data\\Readme.txt", Pattern(10, 5), 0x01C40291396A5580ull);
  ASSERT_TRUE(o.ok()) << o.error().Message();
  ASSERT_EQ(image_.FileCount(), 1u);
  EXPECT_EQ(Field(0, filesentry::dwFileAttributes), 1u);
  EXPECT_EQ(Field(0, filesentry::lpszFileName), 0x80040000u);
  EXPECT_EQ(Field(0, filesentry::ulLoadOffset), 0x8004000Cu);
  EXPECT_EQ(Field(0, filesentry::nRealFileSize), 10u);
  EXPECT_EQ(Field(0, filesentry::nCompFileSize), 10u);
  EXPECT_EQ(Field(0, filesentry::ftTime), 0x396A5580u);
  EXPECT_EQ(Field(0, filesentry::ftTime + 4), 0x01C40291u);
  EXPECT_EQ(image_.RomHeaderOffset(), 0x40018u);
  EXPECT_EQ(Dword(0x48), 0x40018u);
  EXPECT_EQ(Dword(0x44), 0x80040018u);
  EXPECT_EQ(Dword(0x100), 0x80040018u);
  EXPECT_EQ(image_.ImageLength(), 0x40000 + 84 + 28 + 24);
  EXPECT_EQ(Bytes(image_.Buffer().data() + 0x40000, image_.Buffer().data() + 0x40018), [] {
    Bytes area = testimg::BytesOf(std::string("Readme.txt\0\0", 12));
    const Bytes data = Pattern(10, 5);
    area.insert(area.end(), data.begin(), data.end());
    area.insert(area.end(), {0, 0});
    return area;
  }());
  EXPECT_GE(MapIndex("0004000C .. 00040015 F[--R-]      10  Readme.txt"), 0);
}

TEST_F(AddTest, EmptyFileGetsOnlyItsNameArea) {
  Load(testimg::FourFiles().Build());
  auto before = Contents();
  ASSERT_TRUE(Add("/tmp/e", {}).ok());
  EXPECT_EQ(image_.RomHeaderOffset(), 0x1068u + 4);
  EXPECT_EQ(Field(4, filesentry::ulLoadOffset), 0x80001068u + 4);
  EXPECT_EQ(Field(4, filesentry::ftTime), 0u);
  before["e"] = {};
  EXPECT_EQ(Contents(), before);
}

TEST_F(AddTest, WarnsAboutBytesBehindTheTableAndGoesOnOnlyOverFill) {
  Load(ImageBuilder(0x2000).Build());
  const auto warning = CheckTableEnd(image_);
  ASSERT_TRUE(warning);
  EXPECT_EQ(Describe(*warning), "A: 00001054 BLen: 00002000");
  ASSERT_TRUE(Add("f", Pattern(4, 1)).ok());

  Load(ImageBuilder(0x2000).Put(0x1054 + 27, {0x12}).Build());
  const Bytes before(image_.Buffer().data(), image_.Buffer().data() + 0x2000);
  const auto o = Add("f", Pattern(4, 1));
  ASSERT_FALSE(o.ok());
  EXPECT_EQ(o.error().kind, ErrorKind::kDataBehindTable);
  EXPECT_EQ(Bytes(image_.Buffer().data(), image_.Buffer().data() + 0x2000), before);
  EXPECT_EQ(image_.ImageLength(), 0x2000);
}

TEST_F(AddTest, RefusesWhatDoesNotFitAndMissingFiles) {
  Load(ImageBuilder(k32MiB - 16).HeaderOffset(k32MiB - 16 - 84).Build());
  const Bytes before(image_.Buffer().data(), image_.Buffer().data() + k32MiB);
  const auto o = Add("f", {});
  ASSERT_FALSE(o.ok());
  EXPECT_EQ(o.error().kind, ErrorKind::kDoesNotFit);
  EXPECT_EQ(Bytes(image_.Buffer().data(), image_.Buffer().data() + k32MiB), before);
  EXPECT_EQ(image_.ImageLength(), k32MiB - 16);
}

// x: 10 bytes at 0x2000, then 2 alignment bytes, y: 16 bytes at 0x200C, a fixed block
// 0x201C..0x202F, z: 4 bytes at 0x2030; names at 0x1F00; header at 0x2800.
ImageBuilder FixedBlockBehind() {
  ImageBuilder b(0x2900);
  b.HeaderOffset(0x2800);
  b.AddFile({.name = "x",
             .name_offset = 0x1F00,
             .data = Pattern(10, 1),
             .data_offset = 0x2000,
             .attributes = 0x801});
  b.AddFile({.name = "y", .name_offset = 0x1F04, .data = Pattern(16, 2), .data_offset = 0x200C});
  b.AddFile({.name = "z", .name_offset = 0x1F08, .data = Pattern(4, 3), .data_offset = 0x2030});
  return b;
}

class ReplaceTest : public testimg::EditFixture {
 protected:
  Result<Replacement> Replace(const std::string& start, const Bytes& content, uint8_t fill = 0xFF) {
    const int index = MapIndex(start);
    EXPECT_GE(index, 0);
    const auto plan = PlanReplace(lists_, index);
    if (!plan) return Error{.kind = ErrorKind::kNotAFile};
    auto r = ReplaceFile(image_, *plan, content, fill);
    if (r.ok()) AnalyseImage(image_, lists_);
    return r;
  }
};

TEST_F(ReplaceTest, FixedBlockBehindSameRoomWritesInPlace) {
  Load(FixedBlockBehind().Build());
  auto before = Contents();
  const int index = MapIndex("00002000");
  ASSERT_EQ(PlanReplace(lists_, index)->room, 12);  // the small gap counts as room
  const auto o = Replace("00002000", Pattern(12, 9));
  ASSERT_TRUE(o.ok());
  EXPECT_FALSE(o->gap_left);
  EXPECT_EQ(Field(0, filesentry::nCompFileSize), 12u);
  EXPECT_EQ(Field(0, filesentry::nRealFileSize), 12u);
  EXPECT_EQ(Field(0, filesentry::dwFileAttributes), 0x801u);  // the C bit stays
  before["x"] = Pattern(12, 9);
  EXPECT_EQ(Contents(), before);
  EXPECT_EQ(image_.ImageLength(), 0x2900);
}

TEST_F(ReplaceTest, FixedBlockBehindRefusesALargerFile) {
  Load(FixedBlockBehind().Build());
  const Bytes before(image_.Buffer().data(), image_.Buffer().data() + 0x2900);
  const auto o = Replace("00002000", Pattern(13, 9));
  ASSERT_FALSE(o.ok());
  EXPECT_EQ(o.error().Message(), "Es liegt ein fixer Block dahinter und die Datei ist zu groß.");
  EXPECT_EQ(Bytes(image_.Buffer().data(), image_.Buffer().data() + 0x2900), before);
}

TEST_F(ReplaceTest, FixedBlockBehindSmallerFileLeavesFill) {
  Load(FixedBlockBehind().Build());
  const auto o = Replace("00002000", Pattern(4, 9), 0xFF);
  ASSERT_TRUE(o.ok());
  EXPECT_TRUE(o->gap_left);
  Bytes expected = Pattern(4, 9);
  expected.resize(12, 0xFF);
  EXPECT_EQ(Bytes(image_.Buffer().data() + 0x2000, image_.Buffer().data() + 0x200C), expected);
  EXPECT_EQ(Contents().at("y"), Pattern(16, 2));
}

// big: 100 bytes at 0x2000, after: 16 bytes at 0x2064, header right behind at 0x2074.
ImageBuilder NothingFixedBehind(uint32_t image_length = 0x2100) {
  ImageBuilder b(image_length);
  b.HeaderOffset(0x2074).SecondPointer(0x60);
  b.AddFile({.name = "big", .name_offset = 0x1F00, .data = Pattern(100, 1), .data_offset = 0x2000});
  b.AddFile(
      {.name = "after", .name_offset = 0x1F04, .data = Pattern(16, 2), .data_offset = 0x2064});
  return b;
}

TEST_F(ReplaceTest, GrowingFileMovesEverythingBehind) {
  Load(NothingFixedBehind().Build());
  auto before = Contents();
  const auto o = Replace("00002000", Pattern(150, 7));
  ASSERT_TRUE(o.ok()) << o.error().Message();
  EXPECT_EQ(Field(1, filesentry::ulLoadOffset), 0x80002064u + 52);
  EXPECT_EQ(image_.RomHeaderOffset(), 0x2074u + 52);
  EXPECT_EQ(Dword(0x60), 0x80002074u + 52);
  EXPECT_EQ(image_.ImageLength(), 0x2100 + 52);
  before["big"] = Pattern(150, 7);
  EXPECT_EQ(Contents(), before);
  EXPECT_EQ(image_.Buffer().data()[0x2000 + 150], 0xFF);  // alignment bytes take the preset
}

TEST_F(ReplaceTest, ShrinkingFileClosesTheGap) {
  Load(NothingFixedBehind().Build());
  auto before = Contents();
  ASSERT_TRUE(Replace("00002000", Pattern(40, 7), 0x00).ok());
  EXPECT_EQ(Field(1, filesentry::ulLoadOffset), 0x80002064u - 60);
  EXPECT_EQ(image_.ImageLength(), 0x2100 - 60);
  before["big"] = Pattern(40, 7);
  EXPECT_EQ(Contents(), before);
}

TEST_F(ReplaceTest, RefusesGrowthPastTheBuffer) {
  Load(NothingFixedBehind(k32MiB - 8).Build());
  const auto o = Replace("00002000", Pattern(150, 7));
  ASSERT_FALSE(o.ok());
  EXPECT_EQ(o.error().kind, ErrorKind::kDoesNotFit);
  EXPECT_EQ(image_.ImageLength(), k32MiB - 8);
  EXPECT_EQ(Contents().at("big"), Pattern(100, 1));
}

TEST_F(ReplaceTest, TheLastFileLineIsReplacedUpToWhereTheImageEnds) {
  ImageBuilder b(0x2100);
  b.HeaderOffset(0x100);
  b.AddFile({.name = "last", .name_offset = 0x1F00, .data = Pattern(16, 1), .data_offset = 0x2000});
  Load(b.Build());
  const int index = MapIndex("00002000");
  ASSERT_EQ(index, static_cast<int>(lists_.MemoryMap.size()) - 2);
  const auto plan = PlanReplace(lists_, index);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->next_start, 0x2010u);  // the "unallocated" line's start
  EXPECT_EQ(plan->room, 16);
  EXPECT_FALSE(plan->fixed_block_behind);
  EXPECT_FALSE(PlanReplace(lists_, index + 1));  // "unallocated" itself
  EXPECT_FALSE(PlanReplace(lists_, -1));
  ASSERT_TRUE(Replace("00002000", Pattern(24, 2)).ok());
  EXPECT_EQ(Contents().at("last"), Pattern(24, 2));
  EXPECT_EQ(image_.ImageLength(), 0x2100 + 8);
}

}  // namespace
}  // namespace rom

namespace rom {
namespace {

TEST_F(AddTest, TableEndingAtTheBufferEndIsNotReadPast) {
  // The file table ends 10 bytes before the end of a full 32 MiB image: the 28 bytes behind it
  // would reach past the buffer.
  Load(ImageBuilder(k32MiB).HeaderOffset(k32MiB - 84 - 10).Build());
  EXPECT_FALSE(Add("f", {1}).ok());
  EXPECT_EQ(image_.ImageLength(), k32MiB);
}

}  // namespace
}  // namespace rom
