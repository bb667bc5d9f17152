// Tests of the Zumpel console compressor: texts, exit status and round trips through files.
#include "tools/zumpel/zumpel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <sstream>

#include "tests/fileio/small_file_system.h"
#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"

namespace zumpel {
namespace {

constexpr const char* kUsage =
    "WinCE Compressor/Decompressor\n"
    "Usage: Zumpel /xx  infile outfile\n"
    " /xx is:\n"
    "    /C3 = Compress\n"
    "    /C4 = Compress\n"
    "    /D3 = Decompress\n"
    "    /D4 = Decompress\n"
    "    /R  = Decompress ROM mode use /C4 and /D4 or /R for WinCE5 ROMs\n";

class ZumpelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = codec::CompressionLibrary::Bind(missing_);
    ASSERT_TRUE(lib_);
    content_ = testimg::Pattern(30000, 1);
    for (size_t i = 0; i < content_.size(); i += 7) content_[i] = 'x';
    in_ = dir_.File("in.bin");
    testimg::WriteFile(in_, content_);
  }
  int Zumpel(const std::vector<std::string>& args) {
    out_.str("");
    return zumpel::Run(args, *lib_, out_);
  }
  std::string missing_;
  std::unique_ptr<codec::CompressionLibrary> lib_;
  testimg::TempDir dir_;
  testimg::Bytes content_;
  std::string in_;
  std::ostringstream out_;
};

TEST_F(ZumpelTest, RoundTripsThroughEachPairOfSwitches) {
  const std::pair<const char*, const char*> pairs[] = {
      {"/C3", "/D3"}, {"/C3", "/R"}, {"/C4", "/D4"}, {"/C4", "/R"}};
  for (const auto& [pack, unpack] : pairs) {
    const std::string packed = dir_.File("packed"), unpacked = dir_.File("unpacked");
    ASSERT_EQ(Zumpel({pack, in_, packed}), 0) << out_.str();
    const auto size = std::filesystem::file_size(packed);
    EXPECT_EQ(out_.str(), "Compressing " + in_ + " --> " + packed + "\nOK, Len 30000 --> " +
                              std::to_string(size) + "\n");
    ASSERT_EQ(Zumpel({unpack, packed, unpacked}), 0) << out_.str();
    const std::string rom = std::string(unpack) == "/R" ? "  (ROM-mode)" : "";
    EXPECT_EQ(out_.str(), "Decompressing " + packed + " --> " + unpacked + rom + "\nOK, Len " +
                              std::to_string(size) + " --> 30000\n");
    EXPECT_EQ(testimg::ReadFile(unpacked), content_);
  }
}

TEST_F(ZumpelTest, UsageAndMissingFiles) {
  EXPECT_EQ(Zumpel({}), 0);
  EXPECT_EQ(out_.str(), kUsage);
  EXPECT_EQ(Zumpel({"/c3", in_, dir_.File("o")}), 0);  // switches match exactly
  EXPECT_EQ(out_.str(), kUsage);
  // The missing file is reported before the switch is looked at; a folder is no file.
  EXPECT_EQ(Zumpel({"/X", dir_.File("none"), dir_.File("o")}), 1);
  EXPECT_EQ(out_.str(), "no File \"" + dir_.File("none") + "\"\n" + kUsage);
  EXPECT_EQ(Zumpel({"/C3", dir_.path().string(), dir_.File("o")}), 1);
}

TEST_F(ZumpelTest, AnEmptyFileCompressesToTheEmptyStreamAndBack) {
  const std::string empty = dir_.File("empty"), packed = dir_.File("p"), back = dir_.File("b");
  testimg::WriteFile(empty, {});
  for (const char* pack : {"/C3", "/C4"}) {
    ASSERT_EQ(Zumpel({pack, empty, packed}), 0) << out_.str();
    EXPECT_EQ(out_.str(), "Compressing " + empty + " --> " + packed + "\nOK, Len 0 --> 3\n");
    EXPECT_EQ(testimg::ReadFile(packed), (testimg::Bytes{0, 0, 0}));
    for (const char* unpack : {"/D3", "/D4", "/R"}) {
      testimg::WriteFile(back, {1});
      ASSERT_EQ(Zumpel({unpack, packed, back}), 0) << unpack << out_.str();
      EXPECT_TRUE(testimg::ReadFile(back).empty()) << unpack;
    }
  }
  // No stream is empty.
  EXPECT_EQ(Zumpel({"/R", empty, back}), 1);
  EXPECT_EQ(out_.str(), "Decompressing " + empty + " --> " + back +
                            "  (ROM-mode)\nError: " + empty + ": the input file is empty\n");
}

TEST_F(ZumpelTest, FailuresEndWithStatusOneAndLeaveNoOutput) {
  // Not a stream: the library's failure value is shown.
  EXPECT_EQ(Zumpel({"/D3", in_, dir_.File("o")}), 1);
  EXPECT_EQ(out_.str(), "Decompressing " + in_ + " --> " + dir_.File("o") + "\nError: -1\n");
  // Each coding's decompression refuses the other's stream.
  const std::string v3 = dir_.File("v3"), v4 = dir_.File("v4");
  ASSERT_EQ(Zumpel({"/C3", in_, v3}), 0);
  ASSERT_EQ(Zumpel({"/C4", in_, v4}), 0);
  EXPECT_EQ(Zumpel({"/D4", v3, dir_.File("o")}), 1);
  EXPECT_EQ(Zumpel({"/D3", v4, dir_.File("o")}), 1);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("o")));
  // The output file cannot be created.
  EXPECT_EQ(Zumpel({"/C3", in_, dir_.File("no/such/dir/o")}), 1);
  EXPECT_NE(out_.str().find("Error: " + dir_.File("no/such/dir/o")), std::string::npos);
}

TEST_F(ZumpelTest, AFullDiskKeepsTheInputThatWasToBeReplaced) {
  testfs::SmallFileSystem small(dir_, 64);
  if (!small.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  // 1 MiB of zeros packs into a few KiB, and does not fit the 64 KiB disk unpacked.
  const std::string big = dir_.File("big"), f = small.File("f");
  testimg::WriteFile(big, testimg::Bytes(1 << 20, 0));
  ASSERT_EQ(Zumpel({"/C4", big, f}), 0) << out_.str();
  const testimg::Bytes packed = testimg::ReadFile(f);
  EXPECT_EQ(Zumpel({"/D4", f, f}), 1);
  EXPECT_NE(out_.str().find("Error: "), std::string::npos);
  EXPECT_EQ(testimg::ReadFile(f), packed);
  EXPECT_EQ(small.Entries(), 1u);
}

int RunProgram(const std::string& args) {
  const std::string command = std::string(ZUMPEL_BINARY) + " " + args + " > /dev/null";
  return WEXITSTATUS(std::system(command.c_str()));
}

TEST_F(ZumpelTest, ProgramRoundTripsAndReadsTheVectorsInRomMode) {
  const std::pair<const char*, const char*> pairs[] = {
      {"/C3", "/D3"}, {"/C3", "/R"}, {"/C4", "/D4"}, {"/C4", "/R"}};
  for (const auto& [pack, unpack] : pairs) {
    const std::string packed = dir_.File("p"), unpacked = dir_.File("u");
    ASSERT_EQ(RunProgram(std::string(pack) + " " + in_ + " " + packed), 0);
    ASSERT_EQ(RunProgram(std::string(unpack) + " " + packed + " " + unpacked), 0);
    EXPECT_EQ(testimg::ReadFile(unpacked), content_) << pack << " " << unpack;
  }
  EXPECT_EQ(RunProgram("/D4 " + in_ + " " + dir_.File("x")), 1);
  ASSERT_EQ(RunProgram("/C3 " + in_ + " " + dir_.File("v3")), 0);
  EXPECT_EQ(RunProgram("/D4 " + dir_.File("v3") + " " + dir_.File("x")), 1);
  ASSERT_EQ(RunProgram("/C4 " + in_ + " " + dir_.File("v4")), 0);
  EXPECT_EQ(RunProgram("/D3 " + dir_.File("v4") + " " + dir_.File("x")), 1);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("x")));

  const std::filesystem::path vectors = TARNWICK_CE_ROM_VECTORS;
  if (!std::filesystem::is_directory(vectors)) GTEST_SKIP() << vectors << " is absent";
  for (const auto& dir : {vectors, vectors / "old"}) {
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      if (e.path().extension() != ".rom") continue;
      const std::string out = dir_.File("v.bin");
      ASSERT_EQ(RunProgram("/R " + e.path().string() + " " + out), 0) << e.path();
      EXPECT_EQ(
          testimg::ReadFile(out),
          testimg::ReadFile(std::filesystem::path(e.path()).replace_extension(".bin").string()))
          << e.path();
    }
  }
}

}  // namespace
}  // namespace zumpel
