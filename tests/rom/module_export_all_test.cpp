// Tests of the export of everything: unsafe names, colliding names, raw fallback, real images.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "rom/export_all.h"
#include "tests/rom/module_fixture.h"
#include "tests/rom/test_files.h"

namespace rom {
namespace {

using testimg::Bytes;

TEST(UnsafeNameReason, RefusesNamesThatLeaveTheFolderOrNameADevice) {
  const char* refused[] = {"",        ".",       "..",         "../evil",     "a/b",     "a\\b",
                           "C:x",     "x:",      "a\x01z",     "tab\t",       "del\x7f", "a*b",
                           "a?b",     "a|b",     "a\"b",       "a<b",         "dot.",    "blank ",
                           "NUL",     "nul.txt", "Con.tar.gz", "aux",         "PRN.log", "com1",
                           "LPT9",    "COM0.x",  "com\xB9",    "lpt\xB2.txt", "CONIN$",  "conout$",
                           "NUL .txt"};
  for (const char* name : refused) EXPECT_TRUE(UnsafeNameReason(name).has_value()) << name;
  const char* fine[] = {"nk.exe", "a..b", ".profile", "console.txt",  "nul_x",
                        "com10",  "lpt",  "COMX",     "\xC4rger.txt", "My File.txt"};
  for (const char* name : fine) EXPECT_EQ(UnsafeNameReason(name), std::nullopt) << name;
}

TEST(ExportNames, SuffixesNamesTakenWithoutRegardToCase) {
  ExportNames names;
  EXPECT_EQ(names.Claim("nk.exe"), "nk.exe");
  EXPECT_EQ(names.Claim("NK.EXE"), "NK_2.EXE");
  EXPECT_EQ(names.Claim("nk_2.exe"), "nk_2_2.exe");
  EXPECT_EQ(names.Claim("Nk.Exe"), "Nk_3.Exe");
  EXPECT_EQ(names.Claim("\xC4rger"), "\xC4rger");
  EXPECT_EQ(names.Claim("\xE4RGER"), "\xE4RGER_2");  // Windows-1252 A-umlaut, both cases
  EXPECT_EQ(names.Claim(".profile"), ".profile");
  EXPECT_EQ(names.Claim(".PROFILE"), ".PROFILE_2");
}

TEST(ExportAll, WritesModulesAndFilesUnderSafeDistinctNames) {
  testimg::ModuleSpec bad = testimg::AppModule();
  bad.name = "bad.dll";
  bad.name_offset = 0x1810;
  bad.e32_offset = 0x1A40;
  bad.o32_offset = 0x1AC0;
  bad.sections.clear();
  bad.e32->objcnt = 65535;

  testimg::ImageBuilder b(0x10000);
  b.Compressor(testimg::FakeCompress).HeaderField16(68, 0x14C);
  b.AddModule(testimg::AppModule()).AddModule(bad);
  struct File {
    std::string name;
    Bytes data;
    uint32_t attributes = 0x1;
    std::optional<uint32_t> real_size;
  };
  const std::vector<File> files = {
      {"APP.EXE", testimg::BytesOf("hello")},
      {"readme.txt", testimg::FakeCompress(testimg::BytesOf("hello, world!")), 0x801, 13},
      {"broken.bin", testimg::BytesOf("not valid"), 0x801, 20},
      {"../evil", testimg::BytesOf("x")},
      {"a\\b", testimg::BytesOf("x")},
      {"C:x", testimg::BytesOf("x")},
      {"NUL.txt", testimg::BytesOf("x")},
      {"", testimg::BytesOf("x")},
      {"Readme.TXT", testimg::BytesOf("second")},
  };
  for (size_t i = 0; i < files.size(); ++i) {
    testimg::FileSpec f;
    f.name = files[i].name;
    f.name_offset = static_cast<uint32_t>(0x2000 + 0x20 * i);
    f.data = files[i].data;
    f.data_offset = static_cast<uint32_t>(0x8000 + 0x100 * i);
    f.attributes = files[i].attributes;
    f.real_size = files[i].real_size;
    b.AddFile(f);
  }
  testimg::FileSpec outside;  // stored bytes past the buffer's end
  outside.name = "outside.bin";
  outside.name_offset = 0x2200;
  outside.data_offset = 0xFFF0;
  outside.real_size = 0x20;
  b.AddFile(outside);
  RomImage image;
  testimg::Adopt(image, b.Build());

  testimg::TempDir tmp;
  const std::string out = (tmp.path() / "out").string();
  std::vector<std::string> lines;
  uint64_t last_done = 0, last_total = 0;
  const ExportAllResult r = ExportAll(
      image, out, testimg::FakeDecompress,
      [&](const ExportItem& item) { lines.push_back(item.line); },
      [&](uint64_t done, uint64_t total) { last_done = done, last_total = total; });
  ASSERT_EQ(r.error, std::nullopt);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "M app.exe -> app.exe: 16896 bytes, rebuilt PE file, 7 section(s)",
                       "M #1: not written, module 1 bad.dll: e32_objcnt 65535 is above 96, the "
                       "most sections a module has",
                       "F APP.EXE -> APP_2.EXE (name taken by an earlier item): 5 bytes, stored "
                       "uncompressed",
                       "F readme.txt -> readme.txt: 13 bytes, decompressed",
                       "F broken.bin -> broken.bin: 9 bytes, written raw, decompression failed: "
                       "the stream is not valid or holds more than nRealFileSize (20 bytes)",
                       "F ../evil: not written, unsafe name: it holds a slash or backslash",
                       "F a\\b: not written, unsafe name: it holds a slash or backslash",
                       "F C:x: not written, unsafe name: it holds a colon (a drive letter or "
                       "stream)",
                       "F NUL.txt: not written, unsafe name: it is a device name",
                       "F #7: not written, unsafe name: it is empty",
                       "F Readme.TXT -> Readme_2.TXT (name taken by an earlier item): 6 bytes, "
                       "stored uncompressed",
                       "F outside.bin: not written, its stored bytes (0000FFF0, 32 bytes) lie "
                       "outside the buffer",
                   }));
  EXPECT_EQ(r.written, 4u);
  EXPECT_EQ(r.written_raw, 1u);
  EXPECT_EQ(r.refused, 7u);
  EXPECT_EQ(r.file_errors, 0u);
  EXPECT_EQ(last_done, 12u);
  EXPECT_EQ(last_total, 12u);

  std::set<std::string> written;
  for (const auto& e : std::filesystem::directory_iterator(out)) {
    written.insert(e.path().filename().string());
  }
  EXPECT_EQ(written, (std::set<std::string>{"app.exe", "APP_2.EXE", "readme.txt", "broken.bin",
                                            "Readme_2.TXT"}));
  EXPECT_FALSE(std::filesystem::exists(tmp.path() / "evil"));
  EXPECT_EQ(testimg::ReadFile(out + "/readme.txt"), testimg::BytesOf("hello, world!"));
  EXPECT_EQ(testimg::ReadFile(out + "/broken.bin"), testimg::BytesOf("not valid"));
  EXPECT_EQ(testimg::ParsePe(testimg::ReadFile(out + "/app.exe")).error, "");
}

TEST(ExportAll, RefusesAFolderThatCannotBeMade) {
  testimg::TempDir tmp;
  testimg::WriteFile(tmp.File("plain"), testimg::BytesOf("x"));
  RomImage image;
  testimg::Adopt(image, testimg::ModuleImage({testimg::AppModule()}));
  const ExportAllResult r = ExportAll(image, tmp.File("plain"), testimg::FakeDecompress);
  ASSERT_TRUE(r.error.has_value());
  EXPECT_TRUE(r.items.empty());
}

TEST(RealImages, ExportAllWritesNkExe) {
  const std::filesystem::path p = std::filesystem::path(TARNWICK_REALDATA) / "6410_EBOOT.nb0";
  if (!std::filesystem::exists(p)) GTEST_SKIP() << "real images not present";
  RomImage image;
  ASSERT_TRUE(LoadImage(image, p.string(), FlashChoice::k32MB, 0).ok());
  (void)LocateRomHeader(image);
  testimg::TempDir tmp;
  const ExportAllResult r = ExportAll(image, tmp.path().string(), Decompressor());
  ASSERT_EQ(r.items.size(), 1u);
  EXPECT_EQ(r.items[0].status, ExportStatus::kWritten) << r.items[0].line;
  std::cout << r.layout_line << "\n" << r.items[0].line << "\n";
  EXPECT_EQ(testimg::ParsePe(testimg::ReadFile(tmp.File("nk.exe"))).error, "");
}

}  // namespace
}  // namespace rom
