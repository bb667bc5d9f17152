// Tests of the actions on selected list rows: which stretch a deletion removes, and when it
// must refuse.
#include "rom/listing/row_actions.h"

#include <gtest/gtest.h>

#include "tests/rom/edit_fixture.h"

namespace rom {
namespace {

using testimg::Pattern;

TEST(FixedBlockFollows, LooksFromTheIndexToTheEnd) {
  auto row = [](StretchKind kind) { return MapRow{{0, 0, kind, std::nullopt}, ""}; };
  const std::vector<MapRow> map = {row(StretchKind::kFileData), row(StretchKind::kFixedBlock),
                                   row(StretchKind::kFileName), row(StretchKind::kFileData)};
  EXPECT_TRUE(FixedBlockFollows(map, 0));
  EXPECT_TRUE(FixedBlockFollows(map, 1));
  EXPECT_FALSE(FixedBlockFollows(map, 2));
  EXPECT_FALSE(FixedBlockFollows(map, 4));
  EXPECT_FALSE(FixedBlockFollows(map, 100));
  EXPECT_TRUE(FixedBlockFollows(map, -1));
}

class DeleteStretchTest : public testimg::EditFixture {};

TEST_F(DeleteStretchTest, RemovesTheFileOrTheBlockOfTheRow) {
  // a.bin, a fixed block of 16 bytes, b.bin; the header lies in front of them.
  testimg::ImageBuilder b(0x3000);
  b.HeaderOffset(0x100);
  b.AddFile(
      {.name = "a.bin", .name_offset = 0x1F00, .data = Pattern(16, 1), .data_offset = 0x2000});
  b.AddFile(
      {.name = "b.bin", .name_offset = 0x1F10, .data = Pattern(16, 2), .data_offset = 0x2020});
  Load(b.Build());
  const testimg::Bytes before = Head(0x3000);
  // A file with a fixed block behind it stays; nothing changes.
  const auto refused = DeleteStretch(image_, lists_, MapIndex("00002000"), 0);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().kind, ErrorKind::kFixedBlockBehind);
  EXPECT_EQ(refused.error().first, 0x2000u);
  EXPECT_EQ(Head(0x3000), before);
  // Rows of no file and no fixed block delete nothing.
  for (const int64_t index : {int64_t{MapIndex("00000100")}, int64_t{MapIndex("00001F00")},
                              int64_t{-1}, static_cast<int64_t>(lists_.MemoryMap.size())}) {
    const auto r = DeleteStretch(image_, lists_, index, 0);
    ASSERT_FALSE(r.ok()) << index;
    EXPECT_EQ(r.error().kind, ErrorKind::kNotAFile);
  }
  EXPECT_EQ(Head(0x3000), before);

  // The block goes, b.bin moves up to a.bin; then a.bin can go.
  const auto block = DeleteStretch(image_, lists_, MapIndex("00002010 .. 0000201F -!-"), 0xFF);
  ASSERT_TRUE(block.ok()) << block.error().Message();
  EXPECT_EQ(block->delta, 0x10u);
  AnalyseImage(image_, lists_);
  EXPECT_EQ(Contents().at("b.bin"), Pattern(16, 2));
  EXPECT_GE(MapIndex("00002010 .. 0000201F F["), 0);
  const auto file = DeleteStretch(image_, lists_, MapIndex("00002000"), 0xFF);
  ASSERT_TRUE(file.ok()) << file.error().Message();
  AnalyseImage(image_, lists_);
  EXPECT_EQ(image_.FileCount(), 1u);
  EXPECT_EQ(Contents().at("b.bin"), Pattern(16, 2));
}

}  // namespace
}  // namespace rom
