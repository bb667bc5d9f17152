// Tests of cutting an edited image into records along its stretches.
#include "rom/bin_cuts.h"

#include <gtest/gtest.h>

#include "rom/bin_image.h"
#include "rom/delete.h"
#include "tests/image_builder/demo_image.h"
#include "tests/rom/rom_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;

// A stretch of file data, or of another kind.
Stretch S(uint32_t first, uint32_t last, StretchKind kind = StretchKind::kFileData) {
  return {first, last, kind, std::nullopt};
}

TEST(CutsForStretches, GapsOverlapsHolesAndClipping) {
  const std::vector<Stretch> map = {
      S(0x000, 0x03F, StretchKind::kHeader),
      S(0x040, 0x04B),
      S(0x04C, 0x04E, StretchKind::kSmallGap),  // joins the record in front
      S(0x04F, 0x09F),                          // touches: a record of its own
      S(0x060, 0x0AF),                          // overlaps the one before: one record
      S(0x070, 0x080),                          // inside: the same record
      S(0x0C0, 0x0BF),                          // empty
      S(0x0C0, 0x0FF),  // 0x0B0 .. 0x0BF in front is a hole: a record of its own
      S(0x180, 0x27F),  // clipped to the image; the hole in front is kept
      S(0x300, 0x310),  // behind the image
      S(0x311, 0x1FFFFFF, StretchKind::kUnallocated),  // the tail is not saved
  };
  EXPECT_EQ(CutsForStretches(map, 0x200), (std::vector<BinCut>{{0x000, 0x40},
                                                               {0x040, 0x0F},
                                                               {0x04F, 0x61},
                                                               {0x0B0, 0x10},
                                                               {0x0C0, 0x40},
                                                               {0x100, 0x80},
                                                               {0x180, 0x80}}));
}

TEST(CutsForStretches, BytesBehindTheLastStretchAreKept) {
  const std::vector<Stretch> map = {S(0x10, 0x1F), S(0xF0, 0x0F)};  // the second one wraps
  EXPECT_EQ(CutsForStretches(map, 0x200),
            (std::vector<BinCut>{{0x00, 0x10}, {0x10, 0x10}, {0x20, 0xD0}, {0xF0, 0x110}}));
  EXPECT_EQ(CutsForStretches({}, 0x80), (std::vector<BinCut>{{0, 0x80}}));
  EXPECT_TRUE(CutsForStretches(map, 0).empty());
}

class BinSaveTest : public testimg::RomFixture {
 protected:
  // The image as it stands, written as records cut along its map, loaded back with `fill`.
  void SaveAndReload(RomImage& reloaded, RomLists& lists, uint8_t fill) {
    const std::vector<BinCut> cuts = CutsForImage(image_);
    const BinEncodeResult e = EncodeBinRecords(
        std::span<const uint8_t>(image_.Buffer().data(), static_cast<size_t>(image_.ImageLength())),
        image_.RomBase(), 0x88001000, cuts);
    ASSERT_FALSE(e.error) << e.error->Message();
    testimg::WriteFile(dir_.File("saved.bin"), e.bytes);
    const auto r = LoadBinImage(reloaded, dir_.File("saved.bin"), FlashChoice::k32MB, fill);
    ASSERT_TRUE(r.ok()) << r.error().Message();
    EXPECT_EQ(r->records->records.size(), cuts.size());
    AnalyseImage(reloaded, lists);
  }
  [[nodiscard]] Bytes Meaningful(const RomImage& image) const {
    return Bytes(image.Buffer().data(), image.Buffer().data() + image.ImageLength());
  }
};

TEST_F(BinSaveTest, DemoImageCutAlongItsMapLosesNoByte) {
  Load(testimg::DemoImage(nullptr));
  const auto length = static_cast<uint32_t>(image_.ImageLength());
  const std::vector<BinCut> cuts = CutsForImage(image_);
  // The cuts cover the image without overlap, in order, and no cut begins at a small gap.
  uint32_t at = 0;
  for (const BinCut& c : cuts) {
    EXPECT_EQ(c.offset, at);
    at += c.length;
  }
  EXPECT_EQ(at, length);
  size_t small_gaps = 0;
  for (const MapRow& row : lists_.MemoryMap) {
    if (row.kind != StretchKind::kSmallGap) continue;
    ++small_gaps;
    for (const BinCut& c : cuts) EXPECT_NE(c.offset, row.first) << row.text;
  }
  EXPECT_GT(small_gaps, 0u);

  RomImage reloaded;
  RomLists lists;
  SaveAndReload(reloaded, lists, 0xFF);  // another fill than the flat load's
  EXPECT_EQ(Meaningful(reloaded), Meaningful(image_));
  EXPECT_EQ(lists.MemoryMap, lists_.MemoryMap);
}

TEST_F(BinSaveTest, EditSavedAsRecordsLoadsBackAsTheSameEdit) {
  Load(testimg::DemoImage(nullptr));
  int64_t line = -1;
  for (size_t i = 0; i < lists_.MemoryMap.size(); ++i) {
    if (lists_.MemoryMap[i].kind == StretchKind::kFileData &&
        lists_.MemoryMap[i].text.find("readme.txt") != std::string::npos) {
      line = static_cast<int64_t>(i);
    }
  }
  ASSERT_GE(line, 0);
  const int32_t before = image_.ImageLength();
  ASSERT_TRUE(DeleteFile(image_, MapEntry(line), 0).ok());
  AnalyseImage(image_, lists_);
  ASSERT_LT(image_.ImageLength(), before);

  RomImage reloaded;
  RomLists lists;
  SaveAndReload(reloaded, lists, 0);
  EXPECT_EQ(Meaningful(reloaded), Meaningful(image_));
  EXPECT_EQ(lists.MemoryMap, lists_.MemoryMap);
  // The logs differ in the file's name only.
  ASSERT_EQ(lists.AnalysisLog.size(), lists_.AnalysisLog.size());
  EXPECT_TRUE(std::equal(lists.AnalysisLog.begin() + 1, lists.AnalysisLog.end(),
                         lists_.AnalysisLog.begin() + 1));
}

}  // namespace
}  // namespace rom
