// Tests of the export of stored and decompressed file bytes.
#include "rom/export.h"

#include <gtest/gtest.h>

#include "rom/listing/row_actions.h"
#include "tests/rom/edit_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;
using testimg::ImageBuilder;
using testimg::Pattern;

// A stand-in decompression: every stored byte stands for two equal output bytes.
std::optional<uint32_t> Doubling(std::span<const uint8_t> src, std::span<uint8_t> dst) {
  if (src.size() * 2 > dst.size()) return std::nullopt;
  for (size_t i = 0; i < src.size(); ++i) dst[2 * i] = dst[2 * i + 1] = src[i];
  return static_cast<uint32_t>(src.size() * 2);
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
  }
  Result<Exported> FromMap(const std::string& start, bool raw) {
    const auto entry = EntryOfMapRow(lists_, MapIndex(start));
    EXPECT_TRUE(entry) << start;
    if (!entry) return Error{.kind = ErrorKind::kNotAFile};
    return ExportEntry(image_, *entry, raw, Doubling);
  }
  int LogIndex(const std::string& prefix) {
    for (size_t i = 0; i < lists_.AnalysisLog.size(); ++i) {
      if (lists_.AnalysisLog[i].text.rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }
};

TEST_F(ExportTest, DecompressesCompressedFilesAndReports) {
  const auto o = FromMap("00002000", false);
  ASSERT_TRUE(o.ok());
  EXPECT_TRUE(o->decompressed);
  const Bytes expected = [] {
    Bytes b;
    for (uint8_t v : Pattern(8, 1)) b.insert(b.end(), {v, v});
    return b;
  }();
  EXPECT_EQ(o->bytes, expected);
}

TEST_F(ExportTest, RawWritesTheStoredBytes) {
  EXPECT_EQ(FromMap("00002000", true)->bytes, Pattern(8, 1));
  // A zero-length file exported raw is an empty file.
  const auto empty = FromMap("00002030", true);
  ASSERT_TRUE(empty.ok());
  EXPECT_TRUE(empty->bytes.empty());
}

TEST_F(ExportTest, WrongDecompressedLengthIsAnError) {
  const auto o = FromMap("00002028", false);
  ASSERT_FALSE(o.ok());
  EXPECT_EQ(o.error().Message(), "Error decompressing badsize");
}

TEST(DecompressFile, OneCapAndExactlyTheRealSize) {
  // A real size the stream framing cannot describe is refused before memory is taken for it.
  const auto big = DecompressFile(Pattern(8, 1), 0x20000000, Doubling, "big");
  ASSERT_FALSE(big.ok());
  EXPECT_EQ(big.error().kind, ErrorKind::kDecompression);
  EXPECT_EQ(big.error().reason,
            "nRealFileSize 536870912 is above the 64 MiB a compressed file can hold");
  EXPECT_EQ(big.error().Message(), "Error decompressing big");
  // A stream that gives more than the real size is refused, not cut; one that gives less too.
  EXPECT_EQ(DecompressFile(Pattern(8, 1), 15, Doubling, "x").error().reason,
            "the stream is not valid or holds more than nRealFileSize (15 bytes)");
  EXPECT_EQ(DecompressFile(Pattern(8, 1), 17, Doubling, "x").error().reason,
            "it decodes to 16 bytes, nRealFileSize is 17");
  EXPECT_EQ(DecompressFile(Pattern(8, 1), 16, nullptr, "x").error().reason,
            "no decompression available");
  const auto exact = DecompressFile(Pattern(8, 1), 16, Doubling, "x");
  ASSERT_TRUE(exact.ok());
  EXPECT_EQ(exact->size(), 16u);
}

TEST_F(ExportTest, CompressedZeroLengthFileIsAnEmptyFile) {
  const auto o = FromMap("00002030", false);
  ASSERT_TRUE(o.ok());
  EXPECT_TRUE(o->decompressed);
  EXPECT_TRUE(o->bytes.empty());
  // A stream that does not decode is an error whatever the recorded size.
  const auto failing = [](std::span<const uint8_t>, std::span<uint8_t>) {
    return std::optional<uint32_t>();
  };
  EXPECT_FALSE(
      ExportEntry(image_, *EntryOfMapRow(lists_, MapIndex("00002030")), false, failing).ok());
}

TEST_F(ExportTest, StoredBytesOutsideTheBufferAreNotExported) {
  EXPECT_FALSE(FromMap("00002040", true).ok());
}

TEST_F(ExportTest, MapLineExportsTheEntryAtItsOffsetEvenWithATwinName) {
  EXPECT_EQ(FromMap("00002024", true)->bytes, Pattern(4, 4));
}

TEST_F(ExportTest, LogLineExportsTheEntryOfItsPosition) {
  // A blank and extra attribute bits in the name's line, and the second of two twins.
  auto entry = EntryOfLogRow(lists_, LogIndex("F[C-R-+040]  My File"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(EntryName(image_, *entry), "My File.txt");
  EXPECT_EQ(ExportEntry(image_, *entry, true, Doubling)->bytes, Pattern(12, 2));

  const int first_twin = LogIndex("F[--R-]  twin");
  entry = EntryOfLogRow(lists_, first_twin + 4);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->index, 3u);

  // Header and detail lines select nothing.
  EXPECT_FALSE(EntryOfLogRow(lists_, 0));
  EXPECT_FALSE(EntryOfLogRow(lists_, first_twin + 1));
  EXPECT_FALSE(EntryOfLogRow(lists_, -1));
}

TEST_F(ExportTest, ModuleIsNotAFile) {
  const auto entry = EntryOfLogRow(lists_, LogIndex("M["));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->kind, EntryRef::Kind::kModule);
  EXPECT_FALSE(ExportEntry(image_, *entry, false, Doubling).ok());
}

}  // namespace
}  // namespace rom
