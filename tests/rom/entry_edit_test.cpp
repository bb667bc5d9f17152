// Tests of the entry edit and of the image save.
#include "rom/entry_edit.h"

#include <gtest/gtest.h>

#include "rom/delete.h"
#include "rom/image_save.h"
#include "tests/rom/edit_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;

class EntryEditTest : public testimg::EditFixture {
 protected:
  void SetUp() override { Load(testimg::FourFiles().Build()); }
};

TEST_F(EntryEditTest, WritesWordAndSizeAndNothingElse) {
  const Bytes before(image_.Buffer().data(), image_.Buffer().data() + 0x112C);
  ASSERT_TRUE(SetEntry(image_, 2, 0x10000841, 0xFFFFFFFF).ok());
  EXPECT_EQ(Field(2, filesentry::dwFileAttributes), 0x10000841u);
  EXPECT_EQ(Field(2, filesentry::nRealFileSize), 0xFFFFFFFFu);
  EXPECT_EQ(Field(2, filesentry::nCompFileSize), 17u);
  Bytes after(image_.Buffer().data(), image_.Buffer().data() + 0x112C);
  const size_t at = image_.FileTable() + 2 * 28;
  std::copy(before.begin() + at, before.begin() + at + 4, after.begin() + at);
  std::copy(before.begin() + at + 12, before.begin() + at + 16, after.begin() + at + 12);
  EXPECT_EQ(after, before);
  AnalyseImage(image_, lists_);
  EXPECT_GE(MapIndex("00001038 .. 00001048 F[C-R-] +10000040"), 0);
  EXPECT_EQ(SetEntry(image_, 4, 1, 1).error().kind, ErrorKind::kNoEntry);
}

TEST_F(EntryEditTest, SaveWritesImageLengthBytesWithTheSecondPointerRefreshed) {
  const std::string out = dir_.File("out.nb0");
  ASSERT_TRUE(SaveImage(image_, out).ok());
  EXPECT_EQ(testimg::ReadFile(out), testimg::FourFiles().Build());

  ASSERT_TRUE(DeleteFile(image_, 1, 0).ok());
  image_.SetDword(0x80, 0);  // a stale copy of the header address
  ASSERT_TRUE(SaveImage(image_, out).ok());
  const Bytes saved = testimg::ReadFile(out);
  EXPECT_EQ(saved.size(), 0x112Cu - 0x18);
  EXPECT_EQ(testimg::LoadDword(saved, 0x80), testimg::LoadDword(saved, 0x44));
  const auto failed = SaveImage(image_, dir_.File("no/such/dir/x.nb0"));
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().kind, ErrorKind::kFile);
  EXPECT_NE(failed.error().Message().find("x.nb0"), std::string::npos);
  RomImage nothing;
  const auto nothing_saved = SaveImage(nothing, out);
  ASSERT_FALSE(nothing_saved.ok());
  EXPECT_EQ(nothing_saved.error().Message(), "Es ist kein Image geladen.");
  EXPECT_EQ(testimg::ReadFile(out), saved);
}

}  // namespace
}  // namespace rom
