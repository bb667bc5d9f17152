// Tests of the saved lists as a file format: every kind of line the lists write, saved as the
// program saves them and read back by their columns alone, as a script reads them.
#include "rom/listing/list_format.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string_view>

#include "rom/listing/analysis.h"
#include "rom/text_format.h"
#include "tests/image_builder/demo_image.h"
#include "tests/rom/rom_fixture.h"
#include "ui/console/console_frontend.h"

namespace rom {
namespace {

// A reader of the saved format, by its columns (list_format.h).
struct ReadLine {
  std::optional<StretchKind> kind;  // nullopt: no kind the format names
  std::optional<uint32_t> first;
  std::optional<uint32_t> last;
};

std::optional<uint32_t> HexColumns(std::string_view line, size_t from) {
  if (line.size() < from + 8) return std::nullopt;
  return ParseHex32(line.substr(from, 8));
}

ReadLine ReadMapLine(std::string_view line) {
  ReadLine r{std::nullopt, HexColumns(line, 0), HexColumns(line, 12)};
  if (line.size() <= 21 || line[20] != ' ') return r;
  const std::string_view kind = line.substr(21);
  if (kind.starts_with("F[")) r.kind = StretchKind::kFileData;
  if (kind.starts_with("namestr ")) r.kind = StretchKind::kFileName;
  if (kind.starts_with("-!-")) r.kind = StretchKind::kFixedBlock;
  if (kind.starts_with(".  ")) r.kind = StretchKind::kSmallGap;
  if (kind == "-------- ROM Header") r.kind = StretchKind::kHeader;
  if (kind == "-------- unallocated") r.kind = StretchKind::kUnallocated;
  return r;
}

LogRowKind ReadLogLine(std::string_view line) {
  if (line.starts_with("M[")) return LogRowKind::kModule;
  if (line.starts_with("F[")) return LogRowKind::kFile;
  return LogRowKind::kOther;
}

// The lines of a saved list: each ends with CR LF.
std::vector<std::string> SavedLines(const std::string& saved) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < saved.size()) {
    const size_t end = saved.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "a line without CR LF: " << saved.substr(at);
      break;
    }
    lines.push_back(saved.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

class ListFormatTest : public testimg::RomFixture {
 protected:
  // Loads `bytes`, saves its memory map and log as the console does, and checks that every
  // saved line reads back to its row's fields.
  void CheckReadBack(const testimg::Bytes& bytes) {
    Load(bytes);
    std::ostringstream out, err;
    ASSERT_EQ(console::Run({"--image", dir_.File("t.nb0"), "--map", "--log"}, out, err, nullptr), 0)
        << err.str();
    const std::vector<std::string> saved = SavedLines(out.str());
    ASSERT_EQ(saved.size(), lists_.MemoryMap.size() + lists_.AnalysisLog.size());
    for (size_t i = 0; i < lists_.MemoryMap.size(); ++i) {
      const MapRow& row = lists_.MemoryMap[i];
      EXPECT_EQ(saved[i], row.text);
      const ReadLine read = ReadMapLine(saved[i]);
      EXPECT_EQ(read.kind, row.kind) << saved[i];
      EXPECT_EQ(read.first, row.first) << saved[i];
      EXPECT_EQ(read.last, row.last) << saved[i];
      map_kinds_.insert(row.kind);
    }
    for (size_t i = 0; i < lists_.AnalysisLog.size(); ++i) {
      const LogRow& row = lists_.AnalysisLog[i];
      const std::string& line = saved[lists_.MemoryMap.size() + i];
      EXPECT_EQ(line, row.text);
      EXPECT_EQ(ReadLogLine(line), row.kind) << line;
      log_kinds_.insert(row.kind);
    }
  }

  std::set<StretchKind> map_kinds_;
  std::set<LogRowKind> log_kinds_;
};

TEST_F(ListFormatTest, EveryKindOfLineReadsBackToItsRow) {
  CheckReadBack(testimg::DemoImage(nullptr));
  // Names that hold the other lines' markers, a file of 0 bytes, a stretch that runs past the
  // end of the 32-bit range, a header at 0 (no leading gap) and a module.
  testimg::ImageBuilder b(0x400);
  b.Signature(0x100).HeaderOffset(0);
  b.AddModule({.name = "F[CHRS] m", .name_offset = 0x1F0});
  b.AddFile({.name = " -!----- x", .name_offset = 0x200, .data = {1, 2}, .data_offset = 0x210});
  b.AddFile({.name = "namestr \"F[", .name_offset = 0x220, .data = {}, .data_offset = 0x300});
  b.AddFile({.name = "-------- ROM Header",
             .name_offset = 0x240,
             .data = {},
             .data_offset = 0x380,
             .comp_size = 0x100});
  b.AddFile({.name = "wrap",
             .name_offset = 0x260,
             .data = {},
             .data_offset = 0x390,
             .comp_size = 0xFFFFFFF0});
  CheckReadBack(b.Build());
  EXPECT_EQ(map_kinds_.size(), 6u);
  EXPECT_EQ(log_kinds_.size(), 3u);
}

TEST(ListFormat, LineWriters) {
  EXPECT_EQ(HeaderBlockLine(0x100, 0x1AB), "00000100 .. 000001AB -------- ROM Header");
  EXPECT_EQ(GapLine(0x58, 0x7F, 40), "00000058 .. 0000007F -!-----      40  ---------------- ");
  EXPECT_EQ(GapLine(0x46, 0x47, 2), "00000046 .. 00000047 .  2  ");
  EXPECT_EQ(LeadingGapLine(0x40), "00000000 .. 0000003F -!----- 64  ---------------- ");
  EXPECT_EQ(UnallocatedLine(0x1AC, 0x1FFFFFF), "000001AC .. 01FFFFFF -------- unallocated");
  std::string kind;
  AppendFileKind(kind, 0x1000841);
  EXPECT_EQ(kind, " F[C-R-] +1000040");
  EXPECT_EQ(ReadMapLine("00000010 .. 00000011 .  2  ").kind, StretchKind::kSmallGap);
  EXPECT_FALSE(ReadMapLine("00000010 .. 00000011 ?  2  ").kind);
}

}  // namespace
}  // namespace rom
