// Tests of the analysis log and the memory map, compared line by line.
#include "rom/listing/analysis.h"

#include <gtest/gtest.h>

#include "rom/listing/list_format.h"
#include "rom/rom_header.h"
#include "tests/rom/rom_fixture.h"

namespace rom {
namespace {

using testimg::Bytes;
using testimg::FileSpec;
using testimg::ImageBuilder;
using testimg::Lines;
using testimg::TextsOf;

std::string Pad(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

constexpr uint64_t k2004 = 127229512230000000ull;  // 5.3.2004 9:7:3

// A small image: signature at 0x10, header at 0x100, one module and two files.
ImageBuilder SmallImage() {
  ImageBuilder b(0x200);
  b.Signature(0x10).HeaderOffset(0x100);
  b.HeaderField(0, 0x11111111).HeaderField(52, 0xABCD).HeaderField16(68, 0x1C2);
  b.HeaderField16(70, 0x2).HeaderField(80, 0x80);
  b.AddModule({.name = "nk.exe",
               .name_offset = 0x1C0,
               .attributes = 0x7,
               .time = k2004,
               .size = 0x1234,
               .e32_offset = 0x20,
               .o32_offset = 0x30,
               .load_address = 0x8C000000});
  b.AddFile({.name = "a.txt",
             .name_offset = 0x40,
             .data = testimg::Pattern(16, 1),
             .data_offset = 0x48,
             .attributes = 0x1,
             .time = k2004});
  b.AddFile({.name = "B.bin",
             .name_offset = 0x80,
             .data = testimg::Pattern(10, 2),
             .data_offset = 0x88,
             .attributes = 0x841,
             .real_size = 20});
  return b;
}

class AnalysisTest : public testimg::RomFixture {};

TEST_F(AnalysisTest, LogOfASmallImage) {
  Load(SmallImage().Build());
  const Lines expected = {
      "; File: " + dir_.File("t.nb0"),
      "; Size   = 00000200 (512)",
      "; ECEC found @ 00000010 Header (abs) @ 80000100, (in Img) @ 00000100",
      "; zweiter Ptr zum RomHdr FEHLT !!!",
      "; ============ RomHeader ===========",
      ">  DLL first    : 11111111",
      ">  DLL last     : 00000000",
      ">  phys first   : 00000000",
      ">  phys last    : 00000000",
      ">  nummodules   : 00000001",
      ">  RAM Start    : 00000000",
      ">  RAM Free     : 00000000",
      ">  RAM End      : 00000000",
      ">  Copy Entries : 00000000",
      ">  Copy Offset  : 00000000",
      ">  Profile Len  : 00000000",
      ">  Profile Off  : 00000000",
      ">  numfiles     : 00000002",
      ">  Kernel Flags : 0000ABCD",
      ">  FsRamPercent : 00000000",
      ">  DrivGlobStart: 00000000",
      ">  DrivGlobLen  : 00000000",
      ">  CPU Type     : 000001C2",
      ">  misc. Flags  : 00000002",
      ">  Pt Extensions: 00000000",
      ">  TrackingStart: 00000000",
      ">  TrackingLen  : 00000080",
      "; phys last 00000000 ist nicht das Ende des Image (80000200); er folgt der L\xE4nge nicht",
      "; =========================== Modules = 1",
      "; [CHRS] = Compressed,Hidden,ROM,System",
      "M[-HRS]  nk.exe              (5.3.2004 9:7:3) Size= 00001234  (4660)",
      "  E32  : 00000020",
      "  O32  : 00000030",
      "  Load : 8C000000",
      "; e32_rom-Aufbau: nicht entscheidbar (1 Module untersucht, am besten passen 0 zum Aufbau "
      "mit e32_timestamp, 0 zum Aufbau ohne e32_timestamp, 0 zum Aufbau ohne e32_sect14 und "
      "e32_timestamp; kein Modul wird neu gebaut)",
      "; =========================== Files = 2",
      "F[--R-]  a.txt                   (5.3.2004 9:7:3)  Len 16",
      " von    00000048",
      " bis    00000058",
      " name-> 00000040",
      "F[C-R-+040]  B.bin                   (1.1.1601 0:0:0)  Len 20 compr: 10",
      " von    00000088",
      " bis    00000092",
      " name-> 00000080",
  };
  EXPECT_EQ(TextsOf(lists_.AnalysisLog), expected);
  // The entry lines name their entries; no other line does.
  for (const LogRow& row : lists_.AnalysisLog) {
    const bool module = row.text.starts_with("M[");
    const bool file = row.text.starts_with("F[");
    EXPECT_EQ(row.kind, module ? LogRowKind::kModule
                        : file ? LogRowKind::kFile
                               : LogRowKind::kOther)
        << row.text;
    EXPECT_EQ(row.entry.has_value(), module || file) << row.text;
  }
  EXPECT_EQ(lists_.AnalysisLog[40].entry, 1u);
}

TEST_F(AnalysisTest, MemoryMapOfASmallImage) {
  Load(SmallImage().Build());
  const Lines expected = {
      "00000000 .. 0000003F -!----- 64  ---------------- ",
      "00000040 .. 00000045 namestr \"a.txt\"",
      "00000046 .. 00000047 .  2  ",
      Pad("00000048 .. 00000057 F[--R-]      16  a.txt", 60) + "(5.3.2004 9:7:3) name @ 00000040",
      "00000058 .. 0000007F -!-----      40  ---------------- ",
      "00000080 .. 00000085 namestr \"B.bin\"",
      "00000086 .. 00000087 .  2  ",
      Pad("00000088 .. 00000091 F[C-R-] +040     10  B.bin", 60) +
          "(1.1.1601 0:0:0) name @ 00000080",
      "00000092 .. 000000FF -!-----     110  ---------------- ",
      "00000100 .. 000001AB -------- ROM Header",
      "000001AC .. 01FFFFFF -------- unallocated",
  };
  // The signature block is no listed stretch: the leading gap reaches to the lowest start.
  EXPECT_EQ(TextsOf(lists_.MemoryMap), expected);
  const std::vector<MapRow>& map = lists_.MemoryMap;
  EXPECT_EQ(Stretch(map[0]), (Stretch{0x00, 0x3F, StretchKind::kFixedBlock, std::nullopt}));
  EXPECT_EQ(Stretch(map[1]), (Stretch{0x40, 0x45, StretchKind::kFileName, 0}));
  EXPECT_EQ(Stretch(map[2]), (Stretch{0x46, 0x47, StretchKind::kSmallGap, std::nullopt}));
  EXPECT_EQ(Stretch(map[7]), (Stretch{0x88, 0x91, StretchKind::kFileData, 1}));
  EXPECT_EQ(Stretch(map[9]), (Stretch{0x100, 0x1AB, StretchKind::kHeader, std::nullopt}));
  EXPECT_EQ(Stretch(map[10]), (Stretch{0x1AC, 0x1FFFFFF, StretchKind::kUnallocated, std::nullopt}));
}

TEST_F(AnalysisTest, GapsBetweenNeighbours) {
  // Stretches touching, 1, 3 and 4 bytes apart, and overlapping; names 2 bytes apart.
  ImageBuilder b(0x400);
  b.HeaderOffset(0x100);
  const uint32_t starts[] = {0x200, 0x210, 0x221, 0x228, 0x23B, 0x240};
  for (uint32_t i = 0; i < 6; ++i) {
    b.AddFile({.name = std::string(1, static_cast<char>('a' + i)),
               .name_offset = 0x300 + 4 * i,
               .data = testimg::Pattern(i == 4 ? 1 : 16, 0),
               .data_offset = starts[i]});
  }
  Load(b.Build());
  Lines gaps;
  for (const MapRow& row : lists_.MemoryMap) {
    if (row.kind == StretchKind::kFixedBlock || row.kind == StretchKind::kSmallGap) {
      gaps.push_back(row.text);
    }
  }
  EXPECT_EQ(gaps, (Lines{
                      "00000000 .. 000000FF -!----- 256  ---------------- ",
                      "000001FC .. 000001FF -!-----       4  ---------------- ",
                      "00000220 .. 00000220 .  1  ",
                      "00000238 .. 0000023A .  3  ",
                      "0000023C .. 0000023F -!-----       4  ---------------- ",
                      "00000250 .. 000002FF -!-----     176  ---------------- ",
                      "00000302 .. 00000303 .  2  ",
                      "00000306 .. 00000307 .  2  ",
                      "0000030A .. 0000030B .  2  ",
                      "0000030E .. 0000030F .  2  ",
                      "00000312 .. 00000313 .  2  ",
                  }));
  EXPECT_EQ(lists_.MemoryMap.back().text, "00000316 .. 01FFFFFF -------- unallocated");
  EXPECT_EQ(lists_.MemoryMap.size(), 1 + 12 + gaps.size() + 1);
}

TEST_F(AnalysisTest, EdgeLinesOfTheMap) {
  ImageBuilder b(0x400);
  b.Signature(0x100).HeaderOffset(0);
  b.AddFile({.name = "zero", .name_offset = 0x200, .data = {}, .data_offset = 0x300});
  b.AddFile({.name = "A", .name_offset = 0x205, .data = {}, .data_offset = 0x380});
  Load(b.Build());
  // The lowest stretch starts at 0: no empty leading gap line.
  EXPECT_EQ(lists_.MemoryMap.front().text, "00000000 .. 0000008B -------- ROM Header");
  // A file of 0 bytes reads S .. S-1; a name of n characters covers n + 1 bytes.
  EXPECT_GE(MapIndex("00000300 .. 000002FF F[--R-]       0  zero"), 0);
  EXPECT_GE(MapIndex("00000200 .. 00000204 namestr \"zero\""), 0);
  EXPECT_GE(MapIndex("00000205 .. 00000206 namestr \"A\""), 0);
  for (size_t i = 1; i < lists_.MemoryMap.size(); ++i) {
    EXPECT_FALSE(MapLineLess(lists_.MemoryMap[i].text, lists_.MemoryMap[i - 1].text)) << i;
  }
  EXPECT_EQ(lists_.MemoryMap.back().text, "00000380 .. 01FFFFFF -------- unallocated");
}

TEST_F(AnalysisTest, SortIgnoresCaseOfLettersOnly) {
  EXPECT_TRUE(MapLineLess("0000000a", "0000000B"));
  EXPECT_TRUE(MapLineLess("0000000A", "0000000b"));
  EXPECT_FALSE(MapLineLess("0000000A", "0000000a"));
  EXPECT_TRUE(MapLineLess("abc", "abcd"));
  // Bytes above 0x7F are compared as they are, after every ASCII letter.
  EXPECT_TRUE(MapLineLess("z", "\xE4"));
}

TEST_F(AnalysisTest, NoFilesGivesHeaderLeadingGapAndTail) {
  Load(ImageBuilder(0x2000).Build());
  EXPECT_EQ(TextsOf(lists_.MemoryMap),
            (Lines{"00000000 .. 00000FFF -!----- 4096  ---------------- ",
                   "00001000 .. 00001053 -------- ROM Header",
                   "00001054 .. 01FFFFFF -------- unallocated"}));
}

TEST_F(AnalysisTest, LongNamesAreNotCut) {
  const std::string module_name(25, 'm');
  const std::string file_name = "exactly_twenty_four_.txt";
  ASSERT_EQ(file_name.size(), 24u);
  ImageBuilder b(0x2000);
  b.AddModule({.name = module_name, .name_offset = 0x1800});
  b.AddFile({.name = file_name,
             .name_offset = 0x1900,
             .data = {1},
             .data_offset = 0x1A00,
             .attributes = 0x801,
             .real_size = 123456789});
  Load(b.Build());
  const Lines log = TextsOf(lists_.AnalysisLog);
  const auto m =
      std::find_if(log.begin(), log.end(), [](auto& l) { return l.rfind("M[", 0) == 0; });
  ASSERT_NE(m, log.end());
  EXPECT_EQ(*m, "M[-HRS]  " + module_name + "(1.1.1601 0:0:0) Size= 00000000  (0)");
  const auto f =
      std::find_if(log.begin(), log.end(), [](auto& l) { return l.rfind("F[", 0) == 0; });
  ASSERT_NE(f, log.end());
  // Longer than 43 characters before " compr: ": nothing is added.
  EXPECT_EQ(*f, "F[C-R-]  " + file_name + "(1.1.1601 0:0:0)  Len 123456789 compr: 1");
}

TEST_F(AnalysisTest, SecondPointerAndNamesAbove0x7F) {
  ImageBuilder b(0x2000);
  b.SecondPointer(0x80);
  b.AddFile({.name = "Gr\xFC\xDF"
                     "e",
             .name_offset = 0x1800,
             .data = {1},
             .data_offset = 0x1A00});
  Load(b.Build());
  EXPECT_EQ(lists_.AnalysisLog[3].text, "; zweiter Ptr zum RomHdr bei 00000080");
  EXPECT_GE(MapIndex("00001800 .. 00001805 namestr \"Gr\xFC\xDF"
                     "e\""),
            0);
}

TEST_F(AnalysisTest, NoSignatureClearsTheMapAndTheTables) {
  Load(SmallImage().Build());
  ASSERT_FALSE(lists_.MemoryMap.empty());
  Load(ImageBuilder(0x200).HeaderOffset(0x100).NoSignature().Build());
  EXPECT_EQ(lists_.AnalysisLog.size(), 2u);
  EXPECT_EQ(lists_.AnalysisLog[1].text, "; Size   = 00000200 (512)");
  EXPECT_TRUE(lists_.MemoryMap.empty());
  EXPECT_EQ(image_.FileCount(), 0u);
  EXPECT_EQ(image_.SignatureOffset(), -1);
}

TEST_F(AnalysisTest, TablesReachingPastTheBufferAreListedUpToTheEdge) {
  Bytes bytes = ImageBuilder(rom::k32MiB)
                    .HeaderOffset(rom::k32MiB - 84 - 32 - 28 - 10)
                    .HeaderField(16, 1)
                    .HeaderField(48, 5)
                    .Build();
  Load(bytes);
  const Lines log = TextsOf(lists_.AnalysisLog);
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[log.size() - 6], "; =========================== Files = 5");
  EXPECT_EQ(log.back(),
            "; Dateien ab Nr. 1 liegen au\xDF"
            "erhalb des Puffers");
  EXPECT_EQ(image_.FileCount(), 1u);

  // A header outside the buffer: the log says so and the map stays empty.
  Load(ImageBuilder(0x2000).PutDword(0x48, 0x7FFFFFF0).Build());
  EXPECT_EQ(lists_.AnalysisLog.back().text,
            "; RomHeader @ 7FFFFFF0 liegt au\xDF"
            "erhalb des Puffers");
  EXPECT_TRUE(lists_.MemoryMap.empty());
}

}  // namespace
}  // namespace rom

namespace rom {
namespace {

TEST_F(AnalysisTest, HostileCountsAndEndlessNamesStayBounded) {
  // Signature and header pointers, and then only 0xFF: every count is 0xFFFFFFFF and every
  // name runs through the fill without a 0 byte.
  Bytes bytes(k32MiB, 0xFF);
  const Bytes sig = testimg::BytesOf("ECEC");
  std::copy(sig.begin(), sig.end(), bytes.begin() + 0x40);
  testimg::StoreDword(bytes, 0x44, 0xFFFF1000);  // RomBase 0xFFFF0000: names at 0x0000FFFF
  testimg::StoreDword(bytes, 0x48, 0x1000);
  Load(bytes);
  EXPECT_EQ(image_.ModuleCount(), kMaxTableEntries);
  EXPECT_EQ(image_.FileCount(), 0u);
  const Lines log = TextsOf(lists_.AnalysisLog);
  EXPECT_EQ(log[log.size() - 4], "; Module ab Nr. 65536 nicht gelistet (mehr als 65536)");
  EXPECT_EQ(log[log.size() - 3].substr(0, 38), "; e32_rom-Aufbau: nicht entscheidbar (");
  EXPECT_EQ(log.back(),
            "; Dateien ab Nr. 0 liegen au\xDF"
            "erhalb des Puffers");
  const std::string& first = log[30];
  EXPECT_EQ(first.substr(0, 18), "M[CHRS+FFFFF7F8]  ");
  EXPECT_NE(first.find(std::string(kMaxNameLength, '\xFF') + "("), std::string::npos);
  EXPECT_EQ(first.find(std::string(kMaxNameLength + 1, '\xFF')), std::string::npos);
}

}  // namespace
}  // namespace rom
