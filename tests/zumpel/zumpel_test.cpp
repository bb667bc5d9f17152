// Tests of the Zumpel console compressor: texts, exit status and round trips through files.
#include "tools/zumpel/zumpel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

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
      {"/C3", "/D3"}, {"/C3", "/R"}, {"/C4", "/D4"}};
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

TEST_F(ZumpelTest, FailuresEndWithStatusOneAndLeaveNoOutput) {
  testimg::WriteFile(dir_.File("empty"), {});
  EXPECT_EQ(Zumpel({"/C4", dir_.File("empty"), dir_.File("o")}), 1);
  EXPECT_EQ(out_.str(), "Compressing " + dir_.File("empty") + " --> " + dir_.File("o") +
                            "\nError: Inbuf out of RAM\n");
  // Not a stream of the codec: the library's failure value is shown.
  EXPECT_EQ(Zumpel({"/D3", in_, dir_.File("o")}), 1);
  EXPECT_EQ(out_.str(), "Decompressing " + in_ + " --> " + dir_.File("o") + "\nError: 0\n");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("o")));
  // The output file cannot be created.
  EXPECT_EQ(Zumpel({"/C3", in_, dir_.File("no/such/dir/o")}), 1);
  EXPECT_NE(out_.str().find("Error: "), std::string::npos);
}

TEST_F(ZumpelTest, ProgramRoundTripsFromTheCommandLine) {
  const std::string zumpel = ZUMPEL_BINARY;
  const std::pair<const char*, const char*> pairs[] = {{"/C3", "/D3"}, {"/C3", "/R"}, {"/C4", "/D4"}};
  for (const auto& [pack, unpack] : pairs) {
    const std::string packed = dir_.File("p"), unpacked = dir_.File("u"), log = dir_.File("log");
    ASSERT_EQ(std::system((zumpel + " " + pack + " " + in_ + " " + packed + " > " + log).c_str()), 0);
    ASSERT_EQ(std::system((zumpel + " " + unpack + " " + packed + " " + unpacked + " > " + log).c_str()), 0);
    EXPECT_EQ(testimg::ReadFile(unpacked), content_) << pack << " " << unpack;
    const testimg::Bytes text = testimg::ReadFile(log);
    EXPECT_NE(std::string(text.begin(), text.end()).find(" --> 30000\n"), std::string::npos);
  }
  const std::string bad = zumpel + " /D4 " + in_ + " " + dir_.File("x") + " > /dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(bad.c_str())), 1);
}

}  // namespace
}  // namespace zumpel
