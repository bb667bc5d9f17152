// Tests of Tarnwick's console front end: in-process runs and runs of the program itself.
#include "ui/console/console_frontend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "compress/compression_library.h"
#include "rom/listing/analysis.h"
#include "rom/rom_header.h"
#include "rom/text_format.h"
#include "tests/image_builder/rom_compressor.h"
#include "ui/console/library_decompressor.h"
#include "tests/fileio/small_file_system.h"
#include "tests/image_builder/demo_image.h"
#include "tests/rom/edit_fixture.h"
#include "tests/rom/module_fixture.h"
#include "tests/rom/test_files.h"

namespace console {
namespace {

using testimg::TempDir;

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult RunConsole(const std::vector<std::string>& args,
                     const rom::Decompressor& decompress = nullptr) {
  std::ostringstream out, err;
  const int status = Run(args, out, err, decompress);
  return {status, out.str(), err.str()};
}

template <typename Row>
std::string Joined(const std::vector<Row>& rows) {
  std::string s;
  for (const Row& row : rows) s += row.text + "\r\n";
  return s;
}

TEST(ConsoleFrontend, WritesLogThenMapExactlyAsTheListsHoldThem) {
  TempDir dir;
  const std::string path = dir.File("demo.nb0");
  testimg::WriteFile(path, testimg::DemoImage(nullptr));

  rom::RomImage image;
  rom::RomLists lists;
  ASSERT_TRUE(rom::LoadImage(image, path, rom::FlashChoice::k64MB, 0xFF).ok());
  rom::AnalyseImage(image, lists);
  ASSERT_GT(lists.MemoryMap.size(), 30u);

  const RunResult r =
      RunConsole({"--image", path, "--flash", "64", "--preset", "FF", "--map", "--log"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, Joined(lists.MemoryMap) + Joined(lists.AnalysisLog));
  EXPECT_EQ(r.err, "");
}

TEST(ConsoleFrontend, RelativePathBecomesAbsoluteInTheLog) {
  TempDir dir;
  testimg::WriteFile(dir.File("x.nb0"), {1, 2, 3});
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const RunResult r = RunConsole({"--image", "x.nb0", "--log", "--map"});
  std::filesystem::current_path(cwd);
  EXPECT_EQ(r.status, 0);
  // No signature: the log has its two lines and the map writes nothing.
  EXPECT_EQ(r.out, "; File: " + dir.File("x.nb0") + "\r\n; Size   = 00000003 (3)\r\n");
}

TEST(ConsoleFrontend, WrongOptionsAndFailedLoads) {
  EXPECT_EQ(RunConsole({"--log"}).status, 2);
  EXPECT_EQ(RunConsole({"--image"}).status, 2);
  EXPECT_EQ(RunConsole({"--image", "a", "--flash", "16"}).status, 2);
  EXPECT_EQ(RunConsole({"--image", "a", "--preset", "1"}).status, 2);
  EXPECT_EQ(RunConsole({"--image", "a", "--bogus"}).status, 2);
  const RunResult r = RunConsole({"--image", "/nonexistent/dir/rom.nb0", "--log"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("/nonexistent/dir/rom.nb0"), std::string::npos);
}

TEST(TarnwickProgram, RunsFromTheCommandLine) {
  TempDir dir;
  const std::string path = dir.File("demo.nb0");
  testimg::WriteFile(path, testimg::DemoImage(nullptr));
  const std::string out = dir.File("out.txt");
  const std::string command =
      std::string(TARNWICK_BINARY) + " --image " + path + " --log > " + out + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const testimg::Bytes bytes = testimg::ReadFile(out);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.rfind("; File: " + path + "\r\n", 0), 0u);
  EXPECT_NE(text.find("Gr\xFC\xDF"
                      "e.txt"),
            std::string::npos);  // bytes unchanged

  const std::string bad = std::string(TARNWICK_BINARY) + " --image " + path + " --nope 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(bad.c_str())), 2);
}

}  // namespace
}  // namespace console

namespace console {
namespace {

class ConsoleOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = dir_.File("four.nb0");
    testimg::WriteFile(image_, testimg::FourFiles().Build());
  }
  TempDir dir_;
  std::string image_;
};

TEST_F(ConsoleOperations, RunInOrderOnTheChangedImage) {
  const std::string added = dir_.File("new.txt");
  testimg::WriteFile(added, testimg::BytesOf("hello"));
  const std::string saved = dir_.File("saved.nb0");
  const std::string exported = dir_.File("c.out");
  const RunResult r =
      RunConsole({"--image", image_, "--delete", "00001020", "--add", added, "--export-raw",
                  "00001020", exported, "--edit", "00001020", "$841", "99", "--save", saved});
  ASSERT_EQ(r.status, 0) << r.err;
  // The freed table place stays in the image, so the addition warns before it goes on over
  // the fill there.
  EXPECT_EQ(r.err,
            "Delta= 18 ge\xC3\xA4nderte Direntries= 4 Base= 80000000\n"
            "A: 000010F8 BLen: 00001114\n");
  // After the deletion c.bin starts at 0x1020.
  EXPECT_EQ(testimg::ReadFile(exported), testimg::Pattern(17, 0xC0));

  rom::RomImage image;
  rom::RomLists lists;
  ASSERT_TRUE(rom::LoadImage(image, saved, rom::FlashChoice::k32MB, 0).ok());
  rom::AnalyseImage(image, lists);
  EXPECT_EQ(image.ImageLength(), 0x112C - 0x18 + 28 + 8 + 8);
  std::string map;
  for (const rom::MapRow& row : lists.MemoryMap) map += row.text + "\n";
  EXPECT_NE(map.find("00001020 .. 00001030 F[C-R-] +040     17  c.bin"), std::string::npos) << map;
  EXPECT_NE(map.find("namestr \"new.txt\""), std::string::npos) << map;
}

TEST_F(ConsoleOperations, RefusedOperationStopsTheRun) {
  const std::string saved = dir_.File("saved.nb0");
  // No line starts at 00001021; nothing after the failure runs.
  RunResult r = RunConsole({"--image", image_, "--delete", "00001021", "--save", saved});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("00001021"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(saved));

  // The last file line before the header block is replaced like any other.
  testimg::WriteFile(dir_.File("x"), {1});
  r = RunConsole({"--image", image_, "--replace", "00001054", dir_.File("x")});
  EXPECT_EQ(r.status, 0) << r.err;
  r = RunConsole({"--image", image_, "--edit", "00001054", "$1", "x1"});
  EXPECT_EQ(r.status, 1);
  // Values outside their field: the message, and the saved image shows the entry unchanged.
  const struct {
    const char* att;
    const char* real;
    const char* message;
  } values[] = {
      {"$1", "-5",
       "Tarnwick: RealSize \"-5\" ist keine Zahl von 0 bis 4294967295; der Eintrag bleibt "
       "unver\xC3\xA4ndert\n"},
      {"$123456789", "5",
       "Tarnwick: Atts \"$123456789\" ist kein Attributwort von $00000000 bis $FFFFFFFF; der "
       "Eintrag bleibt unver\xC3\xA4ndert\n"},
  };
  for (const auto& v : values) {
    r = RunConsole({"--image", image_, "--edit", "00001054", v.att, v.real, "--save", saved});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, v.message);
    EXPECT_FALSE(std::filesystem::exists(saved));
  }
  r = RunConsole(
      {"--image", image_, "--edit", "00001054", "$FFFFFFFF", "4294967295", "--save", saved});
  EXPECT_EQ(r.status, 0) << r.err;

  EXPECT_EQ(RunConsole({"--image", image_, "--delete", "1020"}).status, 2);
  EXPECT_EQ(RunConsole({"--image", image_, "--delete", "0000102G"}).status, 2);
  EXPECT_EQ(RunConsole({"--image", image_, "--edit", "00001020", "$1"}).status, 2);
}

TEST_F(ConsoleOperations, FileWithAFixedBlockBehindCannotBeDeleted) {
  testimg::ImageBuilder b(0x3000);
  b.HeaderOffset(0x2800);
  b.AddFile(
      {.name = "f", .name_offset = 0x1F00, .data = testimg::Pattern(8, 1), .data_offset = 0x2000});
  testimg::WriteFile(image_, b.Build());
  RunResult r = RunConsole({"--image", image_, "--delete", "00002000"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("fixed block"), std::string::npos);
  // The fixed block behind it can be deleted as a block.
  r = RunConsole({"--image", image_, "--delete", "00002008", "--delete", "00002000"});
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace console

namespace console {
namespace {

// Two files at one start (an empty one in front), and names an export folder must not take.
testimg::Bytes SharedStartImage() {
  // Everything touches: no fixed block lies behind any file.
  testimg::ImageBuilder b(0x2034 + 84 + 4 * 28);
  b.HeaderOffset(0x2034);
  b.AddFile({.name = "zero", .name_offset = 0x2000, .data = {}, .data_offset = 0x2010});
  b.AddFile({.name = "full",
             .name_offset = 0x2008,
             .data = testimg::Pattern(12, 4),
             .data_offset = 0x2010});
  b.AddFile({.name = "..\\evil",
             .name_offset = 0x201C,
             .data = testimg::Pattern(4, 5),
             .data_offset = 0x2024});
  b.AddFile({.name = "FULL",
             .name_offset = 0x2028,
             .data = testimg::Pattern(4, 6),
             .data_offset = 0x2030});
  return b.Build();
}

class ConsoleChoices : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = dir_.File("shared.nb0");
    testimg::WriteFile(image_, SharedStartImage());
  }
  TempDir dir_;
  std::string image_;
};

TEST_F(ConsoleChoices, StartAndNamePickTheEntryOfTheirLine) {
  const std::string out = dir_.File("out");
  // START alone takes the first line there: the empty file.
  RunResult r = RunConsole({"--image", image_, "--export-raw", "00002010", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(testimg::ReadFile(out).empty());
  r = RunConsole({"--image", image_, "--export-raw", "00002010:full", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testimg::ReadFile(out), testimg::Pattern(12, 4));
  // Deleting the empty file keeps the other file's entry and bytes.
  r = RunConsole({"--image", image_, "--delete", "00002010:zero", "--export-raw", "00002010:full",
                  out, "--map"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testimg::ReadFile(out), testimg::Pattern(12, 4));
  EXPECT_EQ(r.out.find("zero"), std::string::npos);
  EXPECT_EQ(RunConsole({"--image", image_, "--delete", "00002010:nope"}).status, 1);
}

TEST_F(ConsoleChoices, ExportAllKeepsEveryNameInsideTheFolder) {
  const std::string dir = dir_.File("all");
  const RunResult r = RunConsole({"--image", image_, "--export-all", dir});
  EXPECT_EQ(r.status, 1);  // one name was refused
  EXPECT_NE(r.out.find("F ..\\evil: not written, unsafe name"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("F FULL -> FULL_2"), std::string::npos) << r.out;
  EXPECT_EQ(testimg::ReadFile(dir + "/full"), testimg::Pattern(12, 4));
  EXPECT_EQ(testimg::ReadFile(dir + "/FULL_2"), testimg::Pattern(4, 6));
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_.path())) ++entries;
  EXPECT_EQ(entries, 2u);  // the image and the folder: nothing landed beside it
  EXPECT_NE(r.err.find("3 written, 0 written as stored, 1 refused, 0 file errors"),
            std::string::npos);
}

TEST(ConsoleModules, ExportModuleRebuildsAPeFile) {
  TempDir dir;
  const std::string path = dir.File("demo.nb0");
  testimg::WriteFile(path, testimg::DemoImage(nullptr));
  const std::string out = dir.File("nk.exe");
  RunResult r = RunConsole({"--image", path, "--export-module", "nk.exe", out});
  ASSERT_EQ(r.status, 0) << r.err;
  const testimg::Bytes pe = testimg::ReadFile(out);
  ASSERT_GT(pe.size(), 0x40u);
  EXPECT_EQ(std::string(pe.begin(), pe.begin() + 2), "MZ");
  EXPECT_NE(r.err.find("Module nk.exe rebuilt & written"), std::string::npos);
  r = RunConsole({"--image", path, "--export-module", "NK.EXE", dir.File("x")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Tarnwick: no module is named NK.EXE\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("x")));
}

// --export-all on an image of each e32_rom layout says the layout and writes PE files with the
// units and subsystem of that layout; a module that fits no layout is not written.
TEST(ConsoleModules, ExportAllSaysTheLayoutOfEachGeneration) {
  using testimg::E32Form;
  struct Case {
    E32Form form;
    const char* layout;
  };
  const Case cases[] = {{E32Form::kWithTimestamp, "mit e32_timestamp"},
                        {E32Form::kWithoutTimestamp, "ohne e32_timestamp"},
                        {E32Form::kYear2000, "ohne e32_sect14 und e32_timestamp"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    TempDir dir;
    const std::string path = dir.File("image.nb0");
    testimg::WriteFile(path, testimg::ModuleImage(testimg::TwoModules(c.form)));
    const RunResult r =
        RunConsole({"--image", path, "--export-all", dir.File("out")}, testimg::FakeDecompress);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind(std::string("; e32_rom-Aufbau: ") + c.layout + " (2 Module", 0), 0u)
        << r.err;
    EXPECT_EQ(r.out,
              "M app.exe -> app.exe: 16896 bytes, rebuilt PE file, 7 section(s)\n"
              "M b.dll -> b.dll: 16896 bytes, rebuilt PE file, 7 section(s)\n");
    for (const char* name : {"app.exe", "b.dll"}) {
      const testimg::ParsedPe pe = testimg::ParsePe(testimg::ReadFile(dir.File("out/") + name));
      EXPECT_EQ(pe.error, "") << name;
      EXPECT_EQ(pe.subsystem, 9) << name;
      EXPECT_EQ(pe.dirs[0], (std::array<uint32_t, 2>{0x3010, 0x40})) << name;
      EXPECT_EQ(pe.dirs[3], (std::array<uint32_t, 2>{0x6000, 0x40})) << name;
    }
  }

  // Subsystem 0 wherever a layout keeps it: no layout fits, and nothing is written.
  testimg::ModuleSpec none = testimg::AppModule(E32Form::kYear2000);
  none.e32->subsys = 0;
  for (auto& unit : none.e32->units) unit[0] = unit[1] = 0;
  TempDir dir;
  const std::string path = dir.File("none.nb0");
  testimg::WriteFile(path, testimg::ModuleImage({none}));
  const RunResult r = RunConsole({"--image", path, "--export-all", dir.File("out")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.rfind("M #0: not written, module 0 app.exe: e32_rom passt zu keinem Aufbau (", 0),
            0u)
      << r.out;
  EXPECT_NE(r.err.find("; e32_rom-Aufbau: nicht entscheidbar"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("out/app.exe")));
  const RunResult one = RunConsole({"--image", path, "--export-module", "app.exe", dir.File("x")});
  EXPECT_EQ(one.status, 1);
  EXPECT_NE(one.err.find("passt zu keinem Aufbau"), std::string::npos) << one.err;
  EXPECT_EQ(one.err.find("rebuilt & written"), std::string::npos) << one.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("x")));
}

TEST(ConsoleFrontend, VersionAndTheMissingHeaderAreSaid) {
  RunResult r = RunConsole({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("Tarnwick ") + TARNWICK_VERSION + "\n");
  TempDir dir;
  testimg::WriteFile(dir.File("plain.nb0"), {1, 2, 3, 4});
  r = RunConsole({"--image", dir.File("plain.nb0"), "--map"});
  EXPECT_EQ(r.status, 0);  // the lists are still valid
  EXPECT_EQ(r.err, "Tarnwick: Kein ROM Header im Image\n");
}

TEST(TarnwickProgram, SaysWhenItsOutputCannotBeWrittenOrNoDisplayIsThere) {
  TempDir dir;
  const std::string path = dir.File("demo.nb0");
  testimg::WriteFile(path, testimg::DemoImage(nullptr));
  const std::string bin = TARNWICK_BINARY;
  const std::string err = dir.File("err");
  int status = std::system((bin + " --image " + path + " --log > /dev/full 2>" + err).c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const testimg::Bytes said = testimg::ReadFile(err);
  EXPECT_EQ(std::string(said.begin(), said.end()),
            "Tarnwick: standard output could not be written\n");
  status = std::system(
      ("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + bin + " " + path + " 2>" + err)
          .c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  const testimg::Bytes no_display = testimg::ReadFile(err);
  EXPECT_NE(std::string(no_display.begin(), no_display.end()).find("--image"), std::string::npos);
}

TEST(TarnwickProgram, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
  TempDir dir;
  const std::string image = dir.File("four.nb0");
  testimg::WriteFile(image, testimg::FourFiles().Build());
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<std::vector<std::string>> runs = {
      {"--image", fifo, "--log"},
      {"--image", "/dev/zero", "--log"},
      {"--image", image, "--add", fifo},
      {"--image", image, "--replace", "00001008", fifo},
  };
  for (const auto& args : runs) {
    const int status = testfs::StatusWithin(5, [&] { return RunConsole(args).status; });
    EXPECT_EQ(status, 1) << args[1] << " " << args.back();
  }
}

// Runs with the program's own codecs, as Tarnwick's main binds them.
class ConsolePutBack : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing;
    library_ = codec::CompressionLibrary::Bind(missing);
    ASSERT_TRUE(library_) << missing;
  }
  RunResult RunWithCodecs(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status =
        console::Run(args, out, err, MakeDecompressor(*library_), MakeStreamCodec(*library_));
    return {status, out.str(), err.str()};
  }
  // Start offsets of the memory-map lines of compressed files.
  std::vector<std::string> CompressedStarts(const std::string& image) {
    std::vector<std::string> starts;
    std::istringstream map(RunWithCodecs({"--image", image, "--map"}).out);
    for (std::string line; std::getline(map, line);) {
      if (line.find(" F[C") == 20) starts.push_back(line.substr(0, 8));
    }
    return starts;
  }
  TempDir dir_;
  std::unique_ptr<codec::CompressionLibrary> library_;
};

TEST_F(ConsolePutBack, ExportChangeReplaceAndExportAgainInEitherCoding) {
  for (const codec::PageCoding coding : {codec::PageCoding::kLzx, codec::PageCoding::kLz77}) {
    const char* name = coding == codec::PageCoding::kLzx ? "LZX" : "LZ77";
    SCOPED_TRACE(name);
    const std::string image = dir_.File("demo.nb0");
    testimg::WriteFile(image, testimg::DemoImage(testimg::RomCompressor(coding)));
    const std::vector<std::string> starts = CompressedStarts(image);
    ASSERT_GE(starts.size(), 4u);
    for (const std::string& start : starts) {
      const std::string own = dir_.File("own"), again = dir_.File("again"),
                        saved = dir_.File("saved.nb0");
      ASSERT_EQ(RunWithCodecs({"--image", image, "--export", start, own}).status, 0) << start;
      // Its own bytes back, and the export of the saved image gives them again.
      RunResult r = RunWithCodecs({"--image", image, "--replace", start, own, "--save", saved});
      ASSERT_EQ(r.status, 0) << start << ": " << r.err;
      EXPECT_EQ(r.err.rfind(std::string("Datei als ") + name + " gepackt gespeichert: " +
                                std::to_string(testimg::ReadFile(own).size()) +
                                " Bytes, im Image ",
                            0),
                0u)
          << r.err;
      ASSERT_EQ(RunWithCodecs({"--image", saved, "--export", start, again}).status, 0) << start;
      EXPECT_EQ(testimg::ReadFile(again), testimg::ReadFile(own)) << start;

      // Raw: the bytes as given (here the stored stream itself, which fits its room whatever
      // lies behind), both sizes their length, the old message.
      const std::string stored = dir_.File("stored");
      ASSERT_EQ(RunWithCodecs({"--image", image, "--export-raw", start, stored}).status, 0);
      r = RunWithCodecs({"--image", image, "--replace-raw", start, stored, "--export-raw", start,
                         again, "--save", saved});
      ASSERT_EQ(r.status, 0) << start << ": " << r.err;
      EXPECT_EQ(r.err, "ACHTUNG! Real-FileSize ggf. korrigieren!\n");
      EXPECT_EQ(testimg::ReadFile(again), testimg::ReadFile(stored)) << start;
      rom::RomImage loaded;
      rom::RomLists lists;
      ASSERT_TRUE(rom::LoadImage(loaded, saved, rom::FlashChoice::k32MB, 0).ok());
      rom::AnalyseImage(loaded, lists);
      const int32_t entry = rom::FindFileByOffset(loaded, *rom::ParseHex32(start));
      ASSERT_GE(entry, 0);
      const rom::RecordView e = *rom::FileEntry(loaded, static_cast<uint32_t>(entry));
      EXPECT_EQ(e.Get(rom::filesentry::nCompFileSize), testimg::ReadFile(stored).size());
      EXPECT_EQ(e.Get(rom::filesentry::nRealFileSize), testimg::ReadFile(stored).size());
      EXPECT_NE(e.Get(rom::filesentry::dwFileAttributes) & rom::kAttrCompressed, 0u);
    }
  }
}

TEST_F(ConsolePutBack, AWrappedImageIsSavedBehindItsWrapper) {
  const testimg::Bytes flat = testimg::PlausibleImage(0x900).SecondPointer(0x60).Build();
  for (const size_t wrapper : {size_t{0x200}, size_t{0x800}}) {
    testimg::Bytes file(wrapper, 0xA5);
    file.insert(file.end(), flat.begin(), flat.end());
    const std::string image = dir_.File("wrapped.nb0"), saved = dir_.File("saved.nb0"),
                      plain = dir_.File("plain.nb0"), added = dir_.File("c.txt");
    testimg::WriteFile(image, file);
    testimg::WriteFile(added, testimg::Pattern(9, 1));
    ASSERT_EQ(
        RunWithCodecs({"--image", image, "--save", saved, "--save-unwrapped", plain}).status, 0);
    EXPECT_EQ(testimg::ReadFile(saved), file) << wrapper;
    EXPECT_EQ(testimg::ReadFile(plain), flat) << wrapper;
    const RunResult r = RunWithCodecs({"--image", image, "--add", added, "--save", saved});
    ASSERT_EQ(r.status, 0) << r.err;
    const testimg::Bytes edited = testimg::ReadFile(saved);
    ASSERT_GT(edited.size(), file.size());
    EXPECT_EQ(testimg::Bytes(edited.begin(), edited.begin() + static_cast<ptrdiff_t>(wrapper)),
              testimg::Bytes(wrapper, 0xA5));
  }
}

TEST(TarnwickProgram, ASaveOnAFullDiskKeepsTheOldImage) {
  TempDir dir;
  testfs::SmallFileSystem small(dir, 64);
  if (!small.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const std::string image = small.File("rom.nb0");
  const testimg::Bytes old = testimg::FourFiles().Build();
  testimg::WriteFile(image, old);
  const std::string added = dir.File("big.bin");
  testimg::WriteFile(added, testimg::Pattern(100000, 1));
  const RunResult r = RunConsole({"--image", image, "--add", added, "--save", image});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  EXPECT_EQ(testimg::ReadFile(image), old);
  EXPECT_EQ(small.Entries(), 1u);
}

}  // namespace
}  // namespace console
