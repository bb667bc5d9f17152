// Tests of the export of stored and decompressed file bytes.
#include "rom/export.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/rom/edit_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;
using testimg::ImageBuilder;
using testimg::Pattern;

// A stand-in decompression: every stored byte stands for two equal output bytes.
uint32_t Doubling(const uint8_t* src, uint32_t len, uint8_t* dst, uint32_t cap, uint32_t, uint32_t,
                  uint32_t) {
  if (uint64_t{len} * 2 > cap) return 0;
  for (uint32_t i = 0; i < len; ++i) dst[2 * i] = dst[2 * i + 1] = src[i];
  return len * 2;
}

class ExportTest : public testimg::EditFixture {
 protected:
  void SetUp() override {
    ImageBuilder b(0x3000);
    b.HeaderOffset(0x2800);
    b.AddModule({.name = "nk.exe", .name_offset = 0x1E00});
    b.AddFile({.name = "packed",
               .name_offset = 0x1F00,
               .data = Pattern(8, 1),
               .data_offset = 0x2000,
               .attributes = 0x801,
               .real_size = 16});
    b.AddFile({.name = "My File.txt",
               .name_offset = 0x1F10,
               .data = Pattern(12, 2),
               .data_offset = 0x2010,
               .attributes = 0x841,
               .real_size = 6});
    b.AddFile(
        {.name = "twin", .name_offset = 0x1F20, .data = Pattern(4, 3), .data_offset = 0x2020});
    b.AddFile(
        {.name = "twin", .name_offset = 0x1F28, .data = Pattern(4, 4), .data_offset = 0x2024});
    b.AddFile({.name = "badsize",
               .name_offset = 0x1F30,
               .data = Pattern(8, 5),
               .data_offset = 0x2028,
               .attributes = 0x801,
               .real_size = 17});
    b.AddFile({.name = "zero",
               .name_offset = 0x1F38,
               .data = {},
               .data_offset = 0x2030,
               .attributes = 0x801,
               .real_size = 0,
               .comp_size = 0});
    b.AddFile({.name = "outside",
               .name_offset = 0x1F40,
               .data = {},
               .data_offset = 0x2040,
               .comp_size = 0x7FFFFFFF});
    Load(b.Build());
    out_ = dir_.File("out.bin");
  }
  ActionOutcome FromMap(const std::string& start, bool raw) {
    const ExportSelection sel = SelectExportEntry(image_, lists_, true, -1, MapIndex(start));
    EXPECT_TRUE(sel.target) << start;
    if (!sel.target) return {};
    EXPECT_EQ(sel.status1, "save " + sel.target->name);
    return ExportEntry(image_, *sel.target, out_, raw, Doubling);
  }
  int LogIndex(const std::string& prefix) {
    for (size_t i = 0; i < lists_.AnalysisLog.size(); ++i) {
      if (lists_.AnalysisLog[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }
  std::string out_;
};

TEST_F(ExportTest, DecompressesCompressedFilesAndReports) {
  const ActionOutcome o = FromMap("00002000", false);
  ASSERT_TRUE(o.done());
  EXPECT_EQ(o.status2, "File packed decompressed & written");
  EXPECT_EQ(o.status1, "");
  const Bytes expected = [] {
    Bytes b;
    for (uint8_t v : Pattern(8, 1)) b.insert(b.end(), {v, v});
    return b;
  }();
  EXPECT_EQ(testimg::ReadFile(out_), expected);
}

TEST_F(ExportTest, RawWritesTheStoredBytes) {
  ASSERT_TRUE(FromMap("00002000", true).done());
  EXPECT_EQ(testimg::ReadFile(out_), Pattern(8, 1));
  // A zero-length file exported raw is an empty file.
  ASSERT_TRUE(FromMap("00002030", true).done());
  EXPECT_TRUE(testimg::ReadFile(out_).empty());
}

TEST_F(ExportTest, WrongDecompressedLengthCreatesNoFile) {
  const ActionOutcome o = FromMap("00002028", false);
  EXPECT_EQ(o.status, ActionStatus::kRefused);
  EXPECT_EQ(o.status2, "Error decompressing badsize");
  EXPECT_TRUE(o.beep);
  EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST_F(ExportTest, CompressedZeroLengthFileIsAnEmptyFile) {
  const ActionOutcome o = FromMap("00002030", false);
  ASSERT_TRUE(o.done());
  EXPECT_EQ(o.status2, "File zero decompressed & written");
  EXPECT_TRUE(testimg::ReadFile(out_).empty());
}

TEST_F(ExportTest, StoredBytesOutsideTheBufferAreNotExported) {
  const ActionOutcome o = FromMap("00002040", true);
  EXPECT_EQ(o.status, ActionStatus::kRefused);
  EXPECT_FALSE(std::filesystem::exists(out_));
}

TEST_F(ExportTest, MapLineExportsTheEntryAtItsOffsetEvenWithATwinName) {
  ASSERT_TRUE(FromMap("00002024", true).done());
  EXPECT_EQ(testimg::ReadFile(out_), Pattern(4, 4));
}

TEST_F(ExportTest, LogLineExportsTheEntryOfItsPosition) {
  // A blank and extra attribute bits in the name's line, and the second of two twins.
  ExportSelection sel =
      SelectExportEntry(image_, lists_, false, LogIndex("F[C-R-+040]  My File"), -1);
  ASSERT_TRUE(sel.target);
  EXPECT_EQ(sel.target->name, "My File.txt");
  EXPECT_EQ(sel.target->dialog_title, "save Item \"My File.txt\" to File");
  EXPECT_FALSE(sel.status1);
  ASSERT_TRUE(ExportEntry(image_, *sel.target, out_, true, Doubling).done());
  EXPECT_EQ(testimg::ReadFile(out_), Pattern(12, 2));

  const int first_twin = LogIndex("F[--R-]  twin");
  sel = SelectExportEntry(image_, lists_, false, first_twin + 4, -1);
  ASSERT_TRUE(sel.target);
  EXPECT_EQ(sel.target->index, 3u);

  // Header and detail lines select nothing.
  EXPECT_FALSE(SelectExportEntry(image_, lists_, false, 0, -1).target);
  EXPECT_FALSE(SelectExportEntry(image_, lists_, false, first_twin + 1, -1).target);
  EXPECT_FALSE(SelectExportEntry(image_, lists_, false, -1, -1).target);
}

TEST_F(ExportTest, ModuleCreatesNoFile) {
  const ExportSelection sel = SelectExportEntry(image_, lists_, false, LogIndex("M["), -1);
  ASSERT_TRUE(sel.target);
  const ActionOutcome o = ExportEntry(image_, *sel.target, out_, false, Doubling);
  EXPECT_EQ(o.status2, "Export of nk.exe yet not implemented");
  EXPECT_TRUE(o.beep);
  EXPECT_FALSE(std::filesystem::exists(out_));
}

}  // namespace
}  // namespace rom
