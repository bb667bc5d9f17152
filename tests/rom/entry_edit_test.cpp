// Tests of the attribute box and of the image save.
#include "rom/entry_edit.h"

#include <gtest/gtest.h>

#include "rom/delete.h"
#include "rom/edit_steps.h"
#include "tests/rom/edit_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;

TEST(CheckBoxClick, ReadsTheFieldAsHexadecimalAndAppliesTheFourBits) {
  EXPECT_EQ(CheckBoxClick("12AB", {true, false, false, false}), "$00001AA8");
  EXPECT_EQ(CheckBoxClick("$123456789", {false, false, false, false}), "$23456788");
  // Bits other than the four survive.
  EXPECT_EQ(CheckBoxClick("$00000040", {false, true, true, true}), "$00000047");
  EXPECT_EQ(CheckBoxClick("", {true, false, false, false}), std::nullopt);
  EXPECT_EQ(CheckBoxClick("$12G4", {true, false, false, false}), std::nullopt);
}

class EntryEditTest : public testimg::EditFixture {
 protected:
  void SetUp() override {
    testimg::ImageBuilder b = testimg::FourFiles();
    Load(b.Build());
    index_ = MapIndex("00001038");
    ASSERT_GE(index_, 0);
  }
  int index_ = -1;
  EditState state_;
};

TEST_F(EntryEditTest, OpensWithTheEntrysWordAndSize) {
  const auto box = EntryEditButtonClick(image_, lists_.MemoryMap, index_, state_);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->att_text, "$00000001");
  EXPECT_EQ(box->checks, (std::array<bool, 4>{false, false, true, false}));
  EXPECT_EQ(box->real_text, "17");
  EXPECT_EQ(box->status1, "edit c.bin");
  EXPECT_EQ(state_.EditEntryIndex, 2);
  EXPECT_TRUE(state_.EditPending);
  // A line that is no file line opens nothing.
  EXPECT_FALSE(EntryEditButtonClick(image_, lists_.MemoryMap, MapIndex("00001030"), state_));
  EXPECT_FALSE(state_.EditPending);
}

TEST_F(EntryEditTest, OkWritesWordAndSizeAndKeepsTheSelection) {
  ASSERT_TRUE(EntryEditButtonClick(image_, lists_.MemoryMap, index_, state_));
  const EditOkResult r = EditOkButtonClick(image_, lists_, state_, "$10000841", "-1", index_);
  ASSERT_TRUE(r.outcome.done());
  EXPECT_TRUE(r.outcome.beep);
  EXPECT_EQ(r.outcome.status1, "");
  EXPECT_EQ(r.outcome.select_index, index_);
  EXPECT_EQ(Field(2, filesentry::dwFileAttributes), 0x10000841u);
  EXPECT_EQ(Field(2, filesentry::nRealFileSize), 0xFFFFFFFFu);
  EXPECT_EQ(Field(2, filesentry::nCompFileSize), 17u);
  EXPECT_FALSE(state_.EditPending);
  EXPECT_NE(lists_.MemoryMap[static_cast<size_t>(index_)].find("F[C-R-] +10000040"),
            std::string::npos);
}

TEST_F(EntryEditTest, InvalidTextsChangeNothing) {
  ASSERT_TRUE(EntryEditButtonClick(image_, lists_.MemoryMap, index_, state_));
  const Bytes before(image_.Data(), image_.Data() + 0x112C);
  EditOkResult r = EditOkButtonClick(image_, lists_, state_, "$1", "12a", index_);
  EXPECT_TRUE(r.keep_box_open);
  EXPECT_TRUE(r.outcome.beep);
  EXPECT_TRUE(state_.EditPending);
  r = EditOkButtonClick(image_, lists_, state_, "$xyz", "5", index_);
  EXPECT_FALSE(r.keep_box_open);
  EXPECT_TRUE(r.outcome.beep);
  EXPECT_FALSE(r.outcome.lists_rebuilt);
  EXPECT_EQ(Bytes(image_.Data(), image_.Data() + 0x112C), before);
}

TEST_F(EntryEditTest, OkAfterTheTableShrankWritesNothing) {
  ASSERT_TRUE(EntryEditButtonClick(image_, lists_.MemoryMap, MapIndex("00001054"), state_));
  EXPECT_EQ(state_.EditEntryIndex, 3);
  // Deleting a file underneath the open box leaves index 3 beyond the table.
  ASSERT_TRUE(DeleteButtonClick(image_, lists_, MapIndex("00001008"), 0).outcome.done());
  const uint32_t freed = image_.FileTable + 3 * 28;
  const Bytes before(image_.Data() + freed, image_.Data() + freed + 28);
  const EditOkResult r = EditOkButtonClick(image_, lists_, state_, "$1", "5", -1);
  EXPECT_EQ(r.outcome.status, ActionStatus::kRefused);
  EXPECT_EQ(Bytes(image_.Data() + freed, image_.Data() + freed + 28), before);
}

TEST_F(EntryEditTest, SaveWritesImageLengthBytesWithTheSecondPointerRefreshed) {
  const std::string out = dir_.File("out.nb0");
  ASSERT_TRUE(SaveImage(image_, out).done());
  EXPECT_EQ(testimg::ReadFile(out), testimg::FourFiles().Build());

  ASSERT_TRUE(DeleteButtonClick(image_, lists_, MapIndex("00001020"), 0).outcome.done());
  image_.SetDword(0x80, 0);  // a stale copy of the header address
  RefreshSecondPointer(image_);
  ASSERT_TRUE(SaveImage(image_, out).done());
  const Bytes saved = testimg::ReadFile(out);
  EXPECT_EQ(saved.size(), 0x112Cu - 0x18);
  EXPECT_EQ(testimg::LoadDword(saved, 0x80), testimg::LoadDword(saved, 0x44));
  EXPECT_EQ(SaveImage(image_, dir_.File("no/such/dir/x.nb0")).status, ActionStatus::kFileError);
}

}  // namespace
}  // namespace rom
