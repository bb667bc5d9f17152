// Tests of the batch window's listings, marks and run.
#include "compress/batch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"

namespace codec {
namespace {

TEST(BatchLines, ListingFormats) {
  EXPECT_EQ(FileLine("a.txt", 12), "  a.txt                     12 Bytes");
  EXPECT_EQ(FileLine("exactly_18_chars.x", -1), "  exactly_18_chars.x        -1 Bytes");
  EXPECT_EQ(FolderLine(".."), "   [DIR] ..");
  EXPECT_EQ(CountText(0), "  0 Dateien (de-) komprimiert");
  // Names of 18 characters and more come back whole; shorter ones lose only the padding.
  const std::string long_name = "a_name_longer_than_18.bin";
  EXPECT_EQ(NameFromLine("*" + FileLine(long_name, 5).substr(1)), long_name);
  EXPECT_EQ(NameFromLine(FileLine("b c", 5)), "b c");
  // Characters, not bytes, fill the name column.
  EXPECT_EQ(FileLine("\xC3\xA4.txt", 1).size(), 2 + 18 + 1 + 10 + 6u);
}

TEST(BatchLines, MarksOnlyFileLines) {
  std::string file = FileLine("a", 1);
  EXPECT_TRUE(ToggleMark(file));
  EXPECT_EQ(file[0], '*');
  EXPECT_TRUE(ToggleMark(file));
  EXPECT_EQ(file[0], ' ');
  std::string folder = FolderLine("sub");
  EXPECT_FALSE(ToggleMark(folder));
  EXPECT_EQ(folder, FolderLine("sub"));
}

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = CompressionLibrary::Bind(missing_);
    ASSERT_TRUE(lib_);
    source_ = dir_.path() / "src";
    target_ = dir_.path() / "dst";
    std::filesystem::create_directories(source_ / "sub");
    std::filesystem::create_directories(target_);
    testimg::WriteFile((source_ / "B.bin").string(), testimg::Pattern(5000, 1));
    testimg::WriteFile((source_ / "a.txt").string(), testimg::BytesOf(std::string(3000, 'a')));
  }
  std::vector<std::string> MarkedListing() {
    std::vector<std::string> lines = ListFolder(source_.string(), true);
    for (auto& l : lines) ToggleMark(l);
    return lines;
  }
  std::string missing_;
  std::unique_ptr<CompressionLibrary> lib_;
  testimg::TempDir dir_;
  std::filesystem::path source_, target_;
};

TEST_F(BatchRun, ListsFoldersFirstInCaseInsensitiveOrder) {
  const std::vector<std::string> lines = ListFolder(source_.string(), true);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "   [DIR] .");
  EXPECT_EQ(lines[1], "   [DIR] ..");
  EXPECT_EQ(lines[2], "   [DIR] sub");
  EXPECT_EQ(lines[3], FileLine("a.txt", 3000));
  EXPECT_EQ(lines[4], FileLine("B.bin", 5000));
  EXPECT_EQ(ListFolder(source_.string(), false).size(), 2u);
}

TEST_F(BatchRun, CompressesMarkedFilesAndReportsFailures) {
  std::vector<std::string> added;
  BatchHooks hooks;
  hooks.add_target_line = [&](const std::string& l) { added.push_back(l); };
  BatchResult r = RunBatch(MarkedListing(), source_.string(), target_.string(),
                           Operation::kCompress4, *lib_, false, hooks);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.count, 2);
  ASSERT_EQ(added.size(), 2u);
  const auto packed = std::filesystem::file_size(target_ / "a.txt");
  EXPECT_EQ(added[0], " a.txt             " + std::string(10 - std::to_string(packed).size(), ' ') +
                          std::to_string(packed) + " Bytes");

  // Decompressing the plain sources fails per file; the batch goes on and writes nothing.
  added.clear();
  const std::filesystem::path out = dir_.path() / "out";
  std::filesystem::create_directories(out);
  r = RunBatch(MarkedListing(), source_.string(), out.string(), Operation::kDecompress3, *lib_,
               false, hooks);
  EXPECT_TRUE(r.finished);
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(added,
            (std::vector<std::string>{"( a.txt ) --->  Fehler!", "( B.bin ) --->  Fehler!"}));
  EXPECT_TRUE(std::filesystem::is_empty(out));

  // And back: the round trip gives the sources.
  std::vector<std::string> marked = ListFolder(target_.string(), false);
  for (auto& l : marked) ToggleMark(l);
  r = RunBatch(marked, target_.string(), out.string(), Operation::kDecompress4, *lib_, false,
               hooks);
  EXPECT_EQ(r.count, 2);
  EXPECT_EQ(testimg::ReadFile((out / "B.bin").string()), testimg::Pattern(5000, 1));
}

TEST_F(BatchRun, AsksBeforeReplacingUnlessTold) {
  testimg::WriteFile((target_ / "a.txt").string(), testimg::BytesOf("keep"));
  testimg::WriteFile((target_ / "B.bin").string(), testimg::BytesOf("keep"));
  std::vector<std::string> asked;
  BatchHooks hooks;
  hooks.ask_overwrite = [&](const std::string& path) {
    asked.push_back(path);
    return asked.size() == 1 ? OverwriteChoice::kSkip : OverwriteChoice::kReplace;
  };
  BatchResult r = RunBatch(MarkedListing(), source_.string(), target_.string(),
                           Operation::kCompress3, *lib_, false, hooks);
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(testimg::ReadFile((target_ / "a.txt").string()), testimg::BytesOf("keep"));
  EXPECT_NE(testimg::ReadFile((target_ / "B.bin").string()), testimg::BytesOf("keep"));

  // Ticked: no question.
  asked.clear();
  r = RunBatch(MarkedListing(), source_.string(), target_.string(), Operation::kCompress3, *lib_,
               true, hooks);
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(r.count, 2);
  // Cancel stops the run.
  hooks.ask_overwrite = [](const std::string&) { return OverwriteChoice::kCancel; };
  r = RunBatch(MarkedListing(), source_.string(), target_.string(), Operation::kCompress3, *lib_,
               false, hooks);
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.count, 0);
}

TEST_F(BatchRun, AnEmptyFileAndTheEmptyStreamAreResults) {
  std::filesystem::remove(source_ / "B.bin");
  std::filesystem::remove(source_ / "a.txt");
  testimg::WriteFile((source_ / "e").string(), {});
  std::vector<std::string> added;
  BatchHooks hooks;
  hooks.add_target_line = [&](const std::string& l) { added.push_back(l); };
  BatchResult r = RunBatch(MarkedListing(), source_.string(), target_.string(),
                           Operation::kCompress4, *lib_, true, hooks);
  EXPECT_EQ(r.count, 1);
  EXPECT_EQ(testimg::ReadFile((target_ / "e").string()), (testimg::Bytes{0, 0, 0}));
  std::vector<std::string> lines = ListFolder(target_.string(), false);
  for (auto& l : lines) ToggleMark(l);
  const std::filesystem::path out = dir_.path() / "out";
  std::filesystem::create_directories(out);
  r = RunBatch(lines, target_.string(), out.string(), Operation::kDecompressRom, *lib_, true,
               hooks);
  EXPECT_EQ(r.count, 1);
  EXPECT_TRUE(std::filesystem::exists(out / "e"));
  EXPECT_EQ(std::filesystem::file_size(out / "e"), 0u);
  EXPECT_EQ(added.back(), " e                          0 Bytes");
}

TEST_F(BatchRun, AFifoIsListedWithoutWaitingAndEndsTheRunAsAFileError) {
  const std::string fifo = (source_ / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<std::string> lines = MarkedListing();  // would wait for a writer
  EXPECT_NE(std::find(lines.begin(), lines.end(), "*" + FileLine("pipe", -1).substr(1)),
            lines.end());
  const BatchResult r =
      RunBatch(lines, source_.string(), target_.string(), Operation::kCompress4, *lib_, true, {});
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.error, fifo + ": not a regular file");
}

TEST_F(BatchRun, FileErrorEndsTheRun) {
  std::vector<std::string> lines = MarkedListing();
  std::filesystem::remove(source_ / "B.bin");
  const BatchResult r =
      RunBatch(lines, source_.string(), target_.string(), Operation::kCompress3, *lib_, true, {});
  EXPECT_FALSE(r.finished);
  EXPECT_EQ(r.count, 1);
  EXPECT_NE(r.error.find("B.bin"), std::string::npos);
}

}  // namespace
}  // namespace codec
