// Tests of opening images as users have them (record files, images behind another tool's
// header) and of saving them back in either form.
#include "rom/image_open.h"

#include <gtest/gtest.h>

#include "rom/add_replace.h"
#include "rom/delete.h"
#include "rom/image_save.h"
#include "rom/rom_layout.h"
#include "rom/text_format.h"
#include "tests/image_builder/bin_file.h"
#include "tests/image_builder/demo_image.h"
#include "tests/rom/edit_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;

constexpr uint32_t kStart = 0x88000000;  // the demo image's RomBase

class ImageOpenTest : public testimg::EditFixture {
 protected:
  // Opens the file `bytes` as the tools do and analyses it.
  void Open(const Bytes& bytes, const std::string& name) {
    testimg::WriteFile(dir_.File(name), bytes);
    const auto r = OpenImage(image_, dir_.File(name), FlashChoice::k32MB, 0);
    ASSERT_TRUE(r.ok()) << r.error().Message();
    AnalyseImage(image_, lists_);
  }
  Bytes Saved(const std::string& name, WrapperChoice wrapper = WrapperChoice::kKeep) {
    const auto e = SaveImage(image_, dir_.File(name), wrapper);
    EXPECT_TRUE(e.ok()) << e.error().Message();
    return testimg::ReadFile(dir_.File(name));
  }
  // The demo image as records cut unevenly, out of order, with the signature block alone.
  static Bytes DemoRecords(const Bytes& flat) {
    const auto size = static_cast<uint32_t>(flat.size());
    std::vector<testimg::RecordCut> cuts = {{0x40, 12}};
    for (const testimg::RecordCut& c : testimg::EvenCuts(0x4C, size, 0x333)) cuts.push_back(c);
    std::reverse(cuts.begin() + 1, cuts.end());
    cuts.push_back({0, 0x40});
    return testimg::BinFile(flat, kStart, kStart + 0x1000, cuts);
  }
};

TEST_F(ImageOpenTest, ARecordFileOpensAsItsFlatFormAndSavesBackByteForByte) {
  const Bytes flat = testimg::DemoImage(nullptr);
  Open(flat, "demo.nb0");
  const RomLists from_flat = lists_;
  const Bytes records = DemoRecords(flat);
  Open(records, "demo.bin");
  EXPECT_EQ(lists_.MemoryMap, from_flat.MemoryMap);
  ASSERT_EQ(lists_.AnalysisLog.size(), from_flat.AnalysisLog.size() + 1);
  const size_t cuts = 2 + testimg::EvenCuts(0x4C, static_cast<uint32_t>(flat.size()), 0x333).size();
  EXPECT_EQ(lists_.AnalysisLog[0].text,
            "; B000FF records: " + std::to_string(cuts) + ", start 88000000, launch 88001000");
  EXPECT_EQ(lists_.AnalysisLog[1].text, "; File: " + dir_.File("demo.bin"));
  EXPECT_TRUE(std::equal(lists_.AnalysisLog.begin() + 2, lists_.AnalysisLog.end(),
                         from_flat.AnalysisLog.begin() + 1));
  // Unchanged: the same record file again; flat: the image's bytes.
  EXPECT_EQ(Saved("again.bin"), records);
  EXPECT_EQ(Saved("flat.NB0"), flat);
  EXPECT_EQ(Saved("again.BIN"), records);
}

TEST_F(ImageOpenTest, AnEditSavedAsRecordsLoadsBackAsTheSameEditOnTheFlatForm) {
  const Bytes flat = testimg::DemoImage(nullptr);
  auto edit = [&] {
    const int64_t line = MapIndex("00002074");  // default.fdf
    ASSERT_GE(line, 0);
    ASSERT_TRUE(DeleteFile(image_, MapEntry(line), 0).ok());
    ASSERT_TRUE(AddFile(image_, "new.txt", testimg::Pattern(33, 4), 0).ok());
    AnalyseImage(image_, lists_);
  };
  Open(flat, "demo.nb0");
  edit();
  const RomLists flat_edited = lists_;
  const Bytes flat_bytes = Head(static_cast<size_t>(image_.ImageLength()));

  Open(DemoRecords(flat), "demo.bin");
  edit();
  EXPECT_EQ(lists_.MemoryMap, flat_edited.MemoryMap);
  const Bytes saved = Saved("edited.bin");
  Open(saved, "edited.bin");
  EXPECT_EQ(lists_.MemoryMap, flat_edited.MemoryMap);
  EXPECT_EQ(Head(static_cast<size_t>(image_.ImageLength())), flat_bytes);
  EXPECT_EQ(lists_.AnalysisLog[0].text.substr(0, 18), "; B000FF records: ");
  EXPECT_NE(lists_.AnalysisLog[0].text.find(", start 88000000, launch 88001000"),
            std::string::npos);
}

TEST_F(ImageOpenTest, AFlatImageSavedAsRecordsLoadsBackToTheSameBuffer) {
  const Bytes flat = testimg::DemoImage(nullptr);
  Open(flat, "demo.nb0");
  const Bytes records = Saved("demo.bin");
  ASSERT_EQ(std::string(records.begin(), records.begin() + 7), "B000FF\n");
  Open(records, "demo.bin");
  EXPECT_EQ(Head(flat.size()), flat);
  EXPECT_EQ(image_.ImageLength(), static_cast<int32_t>(flat.size()));
}

// The plausible image with its module's name in front of the header, so that an addition may
// move what lies behind it.
testimg::ImageBuilder RealLooking() {
  testimg::ImageBuilder b = testimg::PlausibleImage(0x900);
  b.SecondPointer(0x60);
  return b;
}

TEST_F(ImageOpenTest, AnImageBehindAnotherToolsHeaderOpensWithItsModulesAndFiles) {
  for (const uint32_t wrapper : {0x200u, 0x800u}) {
    for (const bool offset_stored : {true, false}) {
      SCOPED_TRACE(std::to_string(wrapper) + (offset_stored ? " with offset" : " without"));
      testimg::ImageBuilder b = RealLooking();
      if (!offset_stored) b.PutDword(0x48, 0);
      const Bytes image = b.Build();
      Bytes file(wrapper, 0x5A);
      file.insert(file.end(), image.begin(), image.end());
      Open(file, "wrapped.nb0");
      EXPECT_EQ(image_.ModuleCount(), 1u);
      EXPECT_EQ(image_.FileCount(), 2u);
      EXPECT_EQ(image_.RomBase(), 0x80000000u);
      EXPECT_EQ(image_.ImageLength(), 0x2000);
      const std::string found = "; RomHdr gesucht: Image ab " + H8(wrapper) +
                                ", RomHdr (in Img) @ 00001000, RomBase 80000000";
      const testimg::Lines log = testimg::TextsOf(lists_.AnalysisLog);
      EXPECT_NE(std::find(log.begin(), log.end(), found), log.end());
      // The buffer holds the image; a save writes the wrapper in front again, so that the
      // same file comes back, unless it asks for the image alone. Records never carry it.
      EXPECT_EQ(Head(image.size()), image);
      EXPECT_EQ(Saved("again.nb0"), file);
      EXPECT_EQ(Saved("plain.nb0", WrapperChoice::kDrop), image);
      Open(Saved("records.bin"), "records.bin");
      EXPECT_EQ(Head(image.size()), image);
      Open(file, "wrapped.nb0");
      // Edits find the header again after it moved: the addition moves it behind the new
      // file, and a signature block without the offset keeps its 0.
      ASSERT_TRUE(AddFile(image_, "c.txt", testimg::Pattern(7, 3), 0).ok());
      AnalyseImage(image_, lists_);
      EXPECT_EQ(image_.FileCount(), 3u);
      EXPECT_EQ(image_.RomHeaderOffset(), 0x1010u);
      EXPECT_EQ(Contents().at("a.txt"), testimg::Pattern(20, 1));
      EXPECT_EQ(Dword(0x48), offset_stored ? 0x1010u : 0u);
      EXPECT_EQ(Dword(0x44), 0x80001010u);
      // The edited image goes out behind the same wrapper, and loads back to the same lists.
      const RomLists edited = lists_;
      const Bytes saved = Saved("edited.nb0");
      ASSERT_EQ(saved.size(), wrapper + static_cast<size_t>(image_.ImageLength()));
      EXPECT_EQ(Bytes(saved.begin(), saved.begin() + wrapper), Bytes(wrapper, 0x5A));
      Open(saved, "edited.nb0");
      EXPECT_EQ(lists_.MemoryMap, edited.MemoryMap);
    }
  }
}

TEST_F(ImageOpenTest, AnImageWithAPlausibleHeaderOpensAsBefore) {
  Open(RealLooking().Build(), "plain.nb0");
  for (const LogRow& row : lists_.AnalysisLog)
    EXPECT_EQ(row.text.find("gesucht"), std::string::npos);
  EXPECT_EQ(image_.Source().wrapper_bytes, 0u);
  EXPECT_FALSE(image_.Source().header_offset);
}

TEST_F(ImageOpenTest, ADamagedRecordFileLoadsNothing) {
  Bytes records = DemoRecords(testimg::DemoImage(nullptr));
  records[15 + 12 + 3] ^= 1;  // a byte of the first record's data: its checksum fails
  testimg::WriteFile(dir_.File("bad.bin"), records);
  const auto r = OpenImage(image_, dir_.File("bad.bin"), FlashChoice::k32MB, 0);
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.error().Message().find("checksum"), std::string::npos) << r.error().Message();
  EXPECT_FALSE(image_.HasData());
}

}  // namespace
}  // namespace rom
