// Tests of file and block deletion.
#include "rom/delete.h"

#include <gtest/gtest.h>

#include "tests/rom/edit_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;
using testimg::ImageBuilder;

class DeleteTest : public testimg::EditFixture {
 protected:
  // Deletes the file of the first map line that begins with `start`, and analyses again.
  Result<Removal> DeleteFileAt(const std::string& start) {
    const int index = MapIndex(start);
    EXPECT_GE(index, 0) << start;
    const MapRow* row = lists_.MapRowAt(index);
    EXPECT_TRUE(row && row->entry) << start;
    auto r = DeleteFile(image_, row && row->entry ? *row->entry : ~0u, fill_);
    if (r.ok()) AnalyseImage(image_, lists_);
    return r;
  }
  std::string Status(const Result<Removal>& r) {
    return r.ok() ? Describe(r.value()) : r.error().Message();
  }
  uint8_t fill_ = 0xFF;
};

TEST_F(DeleteTest, FileWithItsNameInFrontMovesEverythingBehindForward) {
  Load(testimg::FourFiles().Build(), FlashChoice::k32MB, fill_);
  auto before = Contents();
  const auto o = DeleteFileAt("00001020");
  ASSERT_TRUE(o.ok()) << Status(o);
  // Data 0x1020..0x102F rounds to 0x10; the name area of 8 bytes in front goes with it.
  EXPECT_EQ(Status(o), "Delta= 18 geänderte Direntries= 4 Base= 80000000");
  EXPECT_EQ(image_.ImageLength(), 0x112C - 0x18);
  EXPECT_EQ(image_.FileCount(), 3u);
  EXPECT_EQ(HeaderDword(romhdr::numfiles), 3u);
  EXPECT_EQ(image_.RomHeaderOffset(), 0x1068u - 0x18);
  EXPECT_EQ(Dword(0x48), 0x1068u - 0x18);
  EXPECT_EQ(Dword(0x44), 0x80001068u - 0x18);
  EXPECT_EQ(Dword(0x80), 0x80001068u - 0x18);  // second pointer follows
  EXPECT_EQ(Field(1, filesentry::ulLoadOffset), 0x80001020u);
  before.erase("b.bin");
  EXPECT_EQ(Contents(), before);
  // The freed table place and the buffer's last Delta bytes hold the preset byte.
  const uint32_t freed = image_.FileTable() + 3 * 28;
  EXPECT_EQ(Dword(freed), 0xFFFFFFFFu);
  const uint8_t* tail = image_.Buffer().data() + image_.BufferSize() - 0x18;
  EXPECT_TRUE(std::all_of(tail, tail + 0x18, [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(DeleteTest, RoundingStartsFromTheLastByte) {
  Load(testimg::FourFiles().Build(), FlashChoice::k32MB, 0);
  // c.bin has 17 bytes at 0x1038 (last byte 0x1048): only 0x10 data bytes go, plus the name.
  const auto o = DeleteFileAt("00001038");
  ASSERT_TRUE(o.ok()) << Status(o);
  EXPECT_EQ(Status(o), "Delta= 18 geänderte Direntries= 2 Base= 80000000");
  EXPECT_EQ(image_.Buffer().data()[0x1030],
            static_cast<uint8_t>(0xC0 + 16 * 7));  // 17th byte stays
  EXPECT_EQ(Contents().at("d.bin"), testimg::Pattern(20, 0xD0));
}

TEST_F(DeleteTest, RoundingNeverEatsTheNextEntry) {
  // 14 bytes at 0x2000 (last 0x200D); the next file's name starts unaligned at 0x200E.
  ImageBuilder b(0x3000);
  b.HeaderOffset(0x2800);
  b.AddFile(
      {.name = "x", .name_offset = 0x1F00, .data = testimg::Pattern(14, 1), .data_offset = 0x2000});
  b.AddFile({.name = "next",
             .name_offset = 0x200E,
             .data = testimg::Pattern(8, 2),
             .data_offset = 0x2014});
  Load(b.Build());
  auto before = Contents();
  const auto o = DeleteFileAt("00002000");
  ASSERT_TRUE(o.ok()) << Status(o);
  EXPECT_EQ(Status(o), "Delta= E geänderte Direntries= 2 Base= 80000000");
  before.erase("x");
  EXPECT_EQ(Contents(), before);
}

TEST_F(DeleteTest, NameFurtherAwayThanItsLengthStays) {
  ImageBuilder b(0x3000);
  b.HeaderOffset(0x2800);
  b.AddFile({.name = "far",
             .name_offset = 0x1FF0,
             .data = testimg::Pattern(16, 1),
             .data_offset = 0x2000});
  b.AddFile({.name = "next",
             .name_offset = 0x2010,
             .data = testimg::Pattern(8, 2),
             .data_offset = 0x2018});
  Load(b.Build());
  const auto o = DeleteFileAt("00002000");
  ASSERT_TRUE(o.ok()) << Status(o);
  EXPECT_EQ(Status(o), "Delta= 10 geänderte Direntries= 2 Base= 80000000");
  EXPECT_EQ(image_.ReadRomString(0x80001FF0), "far");
  // The header lay behind the file: it moved forward by Delta, and the signature with it.
  EXPECT_EQ(image_.RomHeaderOffset(), 0x27F0u);
}

TEST_F(DeleteTest, HeaderInFrontLeavesTheSignatureBlock) {
  ImageBuilder b(0x3000);
  b.HeaderOffset(0x100);
  b.AddFile({.name = "one", .name_offset = 0x1F00, .data = {7}, .data_offset = 0x2000});
  b.AddFile({.name = "two", .name_offset = 0x1F10, .data = {8}, .data_offset = 0x2004});
  Load(b.Build());
  const Bytes sig(image_.Buffer().data() + 0x40, image_.Buffer().data() + 0x4C);
  // 1 byte at an aligned offset: E = S, Delta 0; the entry leaves the table, nothing moves.
  const auto o = DeleteFileAt("00002000");
  ASSERT_TRUE(o.ok()) << Status(o);
  EXPECT_EQ(Status(o), "Delta= 0 geänderte Direntries= 1 Base= 80000000");
  EXPECT_EQ(image_.FileCount(), 1u);
  EXPECT_EQ(image_.ImageLength(), 0x3000);
  EXPECT_EQ(Bytes(image_.Buffer().data() + 0x40, image_.Buffer().data() + 0x4C), sig);
}

TEST_F(DeleteTest, ZeroLengthFileLeavesTheTable) {
  ImageBuilder b(0x3000);
  b.HeaderOffset(0x2800);
  b.AddFile({.name = "empty", .name_offset = 0x1F00, .data = {}, .data_offset = 0x2000});
  b.AddFile({.name = "full", .name_offset = 0x1F10, .data = {1, 2, 3, 4}, .data_offset = 0x2000});
  Load(b.Build());
  // Both start at 0x2000; the empty one's line S .. S-1 sorts first. Its entry, and only
  // its entry, leaves the table: the other file keeps its bytes.
  const auto o = DeleteFileAt("00002000 .. 00001FFF");
  ASSERT_TRUE(o.ok()) << Status(o);
  EXPECT_EQ(image_.FileCount(), 1u);
  EXPECT_EQ(image_.ReadRomString(Field(0, filesentry::lpszFileName)), "full");
  EXPECT_EQ(Contents().at("full"), (Bytes{1, 2, 3, 4}));
}

TEST_F(DeleteTest, RefusesStretchesOutsideTheImage) {
  ImageBuilder b(0x3000);
  b.HeaderOffset(0x100);
  b.AddFile({.name = "beyond",
             .name_offset = 0x1F00,
             .data = {},
             .data_offset = 0x2F00,
             .real_size = 0x200,
             .comp_size = 0x200});
  Load(b.Build());
  const Bytes before(image_.Buffer().data(), image_.Buffer().data() + 0x3000);
  const auto o = DeleteFileAt("00002F00");
  ASSERT_FALSE(o.ok());
  EXPECT_EQ(o.error().kind, ErrorKind::kOutsideImage);
  EXPECT_EQ(Bytes(image_.Buffer().data(), image_.Buffer().data() + 0x3000), before);
  EXPECT_EQ(image_.FileCount(), 1u);
}

TEST_F(DeleteTest, BlockDeletionKeepsTheTable) {
  ImageBuilder b(0x3000);
  b.HeaderOffset(0x2800);
  b.AddModule(
      {.name = "nk.exe", .name_offset = 0x1E00, .e32_offset = 0x1E40, .o32_offset = 0x1E80});
  b.AddFile({.name = "one",
             .name_offset = 0x1F00,
             .data = testimg::Pattern(16, 1),
             .data_offset = 0x2000});
  b.AddFile({.name = "two",
             .name_offset = 0x1F10,
             .data = testimg::Pattern(16, 2),
             .data_offset = 0x2020});
  Load(b.Build());
  const Bytes module_entry(image_.Buffer().data() + 0x2800 + 84,
                           image_.Buffer().data() + 0x2800 + 84 + 32);
  auto before = Contents();
  ASSERT_GE(MapIndex("00002010 .. 0000201F -!-----"), 0);
  const auto o = DeleteBlock(image_, 0x2010, 0x201F, 0);
  ASSERT_TRUE(o.ok()) << Status(o);
  EXPECT_EQ(Status(o), "Delta= 10 geänderte Direntries= 1 Base= 80000000");
  EXPECT_EQ(HeaderDword(romhdr::numfiles), 2u);
  EXPECT_EQ(Contents(), before);
  EXPECT_EQ(Bytes(image_.Buffer().data() + 0x27F0 + 84, image_.Buffer().data() + 0x27F0 + 84 + 32),
            module_entry);
}

TEST_F(DeleteTest, AnEntryThatDoesNotExistIsRefused) {
  Load(testimg::FourFiles().Build());
  const Bytes before(image_.Buffer().data(), image_.Buffer().data() + 0x112C);
  EXPECT_EQ(DeleteFile(image_, 4, 0).error().kind, ErrorKind::kNoEntry);
  EXPECT_EQ(Bytes(image_.Buffer().data(), image_.Buffer().data() + 0x112C), before);
}

}  // namespace
}  // namespace rom
