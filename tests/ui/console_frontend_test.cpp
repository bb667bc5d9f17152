// Tests of Tarnwick's console front end: in-process runs and runs of the program itself.
#include "ui/console/console_frontend.h"

#include <sstream>

#include <gtest/gtest.h>

#include "rom/analysis.h"
#include "tests/image_builder/demo_image.h"
#include "tests/rom/test_files.h"

namespace console {
namespace {

using testimg::TempDir;

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult RunConsole(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int status = Run(args, out, err);
  return {status, out.str(), err.str()};
}

std::string Joined(const rom::LineList& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

TEST(ConsoleFrontend, WritesLogThenMapExactlyAsTheListsHoldThem) {
  TempDir dir;
  const std::string path = dir.File("demo.nb0");
  testimg::WriteFile(path, testimg::DemoImage(nullptr));

  rom::RomImage image;
  rom::RomLists lists;
  ASSERT_TRUE(rom::LoadImage(image, path, rom::FlashChoice::k64MB, 0xFF).ok);
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
  EXPECT_NE(text.find("Gr\xFC\xDF" "e.txt"), std::string::npos);  // bytes unchanged

  const std::string bad = std::string(TARNWICK_BINARY) + " --image " + path + " --nope 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(bad.c_str())), 2);
}

}  // namespace
}  // namespace console
