// Tests of the batch window's behaviour without a display: the listings as rows, the marks, and
// the run with its overwrite decisions, results and counts.
#include "ui/presenter/batch_presenter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <filesystem>

#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"

namespace presenter {
namespace {

TEST(BatchRows, ListingTexts) {
  EXPECT_EQ(FileRow("a.txt", 12).text, "  a.txt                     12 Bytes");
  EXPECT_EQ(FileRow("exactly_18_chars.x", -1).text, "  exactly_18_chars.x        -1 Bytes");
  EXPECT_EQ(FolderRow("..").text, "   [DIR] ..");
  EXPECT_EQ(WrittenRow("b", 7).text, " b                          7 Bytes");
  EXPECT_EQ(FailedRow("c d").text, "( c d ) --->  Fehler!");
  EXPECT_EQ(CountText(0), "  0 Dateien (de-) komprimiert");
  // Characters, not bytes, fill the name column.
  EXPECT_EQ(FileRow("\xC3\xA4.txt", 1).text.size(), 2 + 18 + 1 + 10 + 6u);
}

TEST(BatchRows, OnlyFileRowsTakeAMark) {
  // A file's name may hold what a folder's text shows: the row's kind decides.
  BatchRow file = FileRow("x[DIR]", 1);
  EXPECT_TRUE(ToggleMark(file));
  EXPECT_TRUE(file.marked);
  EXPECT_EQ(file.text, "* x[DIR]                     1 Bytes");
  EXPECT_TRUE(ToggleMark(file));
  EXPECT_FALSE(file.marked);
  EXPECT_EQ(file.text[0], ' ');
  BatchRow folder = FolderRow("sub");
  EXPECT_FALSE(ToggleMark(folder));
  EXPECT_EQ(folder, FolderRow("sub"));
  BatchRow written = WrittenRow("w", 1);
  EXPECT_FALSE(ToggleMark(written));
}

class ScriptedBatchPrompts final : public BatchPrompts {
 public:
  std::vector<std::pair<std::string, Severity>> messages;
  std::vector<std::string> asked;  // paths of the overwrite questions
  std::deque<OverwriteChoice> answers;
  int cancel_at = 0;  // Step answers false for this file (from 1); 0: never
  std::vector<std::string> added;

  void Message(const std::string& text, Severity severity) override {
    messages.emplace_back(text, severity);
  }
  OverwriteChoice AskOverwrite(const std::string& path) override {
    asked.push_back(path);
    if (answers.empty()) return OverwriteChoice::kReplace;
    const OverwriteChoice a = answers.front();
    answers.pop_front();
    return a;
  }
  bool Step(int n, int, const std::string&) override { return n != cancel_at; }
  uint32_t cancel_at_page = 0;  // PageStep answers false after this page (from 1); 0: never
  std::vector<std::pair<uint32_t, uint32_t>> pages;
  bool PageStep(uint32_t done, uint32_t total) override {
    pages.emplace_back(done, total);
    return done != cancel_at_page;
  }
  void TargetRowAdded(const BatchRow& row) override { added.push_back(row.text); }
};

class BatchPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = codec::CompressionLibrary::Bind(missing_);
    ASSERT_TRUE(lib_);
    presenter_ = std::make_unique<BatchPresenter>(prompts_, *lib_);
    source_ = dir_.path() / "src";
    target_ = dir_.path() / "dst";
    std::filesystem::create_directories(source_ / "sub");
    std::filesystem::create_directories(target_);
    testimg::WriteFile((source_ / "B.bin").string(), testimg::Pattern(5000, 1));
    testimg::WriteFile((source_ / "a.txt").string(), testimg::BytesOf(std::string(3000, 'a')));
  }
  // Lists both folders and marks every file of the source.
  void ListAndMarkAll() {
    presenter_->ChooseSourceFolder(source_.string());
    presenter_->ChooseTargetFolder(target_.string());
    for (size_t i = 0; i < presenter_->state().source_rows.size(); ++i) {
      (void)presenter_->ToggleMark(static_cast<int64_t>(i));
    }
  }
  // "Start" with library function `op`; false when no run began.
  bool Start(codec::Operation op, bool overwrite_without_asking = false) {
    if (!presenter_->BeginRun()) return false;
    presenter_->Run(op, overwrite_without_asking);
    presenter_->EndRun();
    return true;
  }
  const BatchState& s() const { return presenter_->state(); }

  std::string missing_;
  std::unique_ptr<codec::CompressionLibrary> lib_;
  ScriptedBatchPrompts prompts_;
  std::unique_ptr<BatchPresenter> presenter_;
  testimg::TempDir dir_;
  std::filesystem::path source_, target_;
};

TEST_F(BatchPresenterTest, ListsFoldersFirstInCaseInsensitiveOrder) {
  presenter_->ChooseSourceFolder(source_.string());
  const std::vector<BatchRow>& rows = s().source_rows;
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], FolderRow("."));
  EXPECT_EQ(rows[1], FolderRow(".."));
  EXPECT_EQ(rows[2], FolderRow("sub"));
  EXPECT_EQ(rows[3], FileRow("a.txt", 3000));
  EXPECT_EQ(rows[4], FileRow("B.bin", 5000));
  // Marks change file rows only.
  EXPECT_FALSE(presenter_->ToggleMark(2));
  EXPECT_TRUE(presenter_->ToggleMark(3));
  EXPECT_FALSE(presenter_->ToggleMark(5));
  EXPECT_FALSE(presenter_->ToggleMark(-1));
  EXPECT_TRUE(s().source_rows[3].marked);
  presenter_->ChooseTargetFolder(source_.string());
  EXPECT_EQ(s().target_rows.size(), 2u);  // files only
}

TEST_F(BatchPresenterTest, CompressesMarkedFilesAndReportsFailures) {
  ListAndMarkAll();
  ASSERT_TRUE(Start(codec::Operation::kCompress4));
  EXPECT_EQ(s().count_text, "  2 Dateien (de-) komprimiert");
  ASSERT_EQ(prompts_.added.size(), 2u);
  const auto packed = std::filesystem::file_size(target_ / "a.txt");
  EXPECT_EQ(prompts_.added[0], WrittenRow("a.txt", static_cast<int64_t>(packed)).text);
  // After the run the target list is read anew: each file written once, with its size.
  ASSERT_EQ(s().target_rows.size(), 2u);
  EXPECT_EQ(s().target_rows[0], FileRow("a.txt", static_cast<int64_t>(packed)));

  // Decompressing the plain sources fails per file; the run goes on and writes nothing.
  prompts_.added.clear();
  const std::filesystem::path out = dir_.path() / "out";
  std::filesystem::create_directories(out);
  presenter_->ChooseTargetFolder(out.string());
  ASSERT_TRUE(Start(codec::Operation::kDecompress3));
  EXPECT_EQ(s().count_text, "  0 Dateien (de-) komprimiert");
  EXPECT_EQ(prompts_.added,
            (std::vector<std::string>{"( a.txt ) --->  Fehler!", "( B.bin ) --->  Fehler!"}));
  EXPECT_TRUE(std::filesystem::is_empty(out));
  // The refused files stay in the list read anew, with their "Fehler!" and why.
  ASSERT_EQ(s().target_rows.size(), 2u);
  EXPECT_EQ(s().target_rows[1].text, "( B.bin ) --->  Fehler!");
  EXPECT_EQ(s().target_rows[1].reason, RefusalReason(codec::Operation::kDecompress3, 5000));
  EXPECT_NE(s().target_rows[1].reason.find("kein Strom dieser Kodierung"), std::string::npos);

  // And back: the round trip gives the sources.
  presenter_->ChooseSourceFolder(target_.string());
  for (int64_t i = 0; i < 4; ++i) (void)presenter_->ToggleMark(i);
  ASSERT_TRUE(Start(codec::Operation::kDecompress4));
  EXPECT_EQ(s().count_text, "  2 Dateien (de-) komprimiert");
  EXPECT_EQ(testimg::ReadFile((out / "B.bin").string()), testimg::Pattern(5000, 1));
  EXPECT_TRUE(prompts_.messages.empty());
}

// The run tells each page of a file; cancelled within a file, that file is not written.
TEST_F(BatchPresenterTest, PagesAreToldAndACancelWithinAFileWritesNothing) {
  ListAndMarkAll();
  ASSERT_TRUE(Start(codec::Operation::kCompress4));
  // a.txt (3000 bytes) has one page, B.bin (5000 bytes) two.
  EXPECT_EQ(prompts_.pages, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {1, 2}, {2, 2}}));
  std::filesystem::remove_all(target_);
  std::filesystem::create_directories(target_);
  prompts_.pages.clear();
  prompts_.cancel_at_page = 1;
  ASSERT_TRUE(Start(codec::Operation::kCompress3));
  EXPECT_EQ(prompts_.pages.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_empty(target_));
  EXPECT_EQ(prompts_.added.size(), 2u);  // the first run's rows only
  EXPECT_EQ(s().count_text, "  0 Dateien (de-) komprimiert\n  abgebrochen nach 0 von 2");
}

TEST_F(BatchPresenterTest, AsksBeforeReplacingUnlessTold) {
  testimg::WriteFile((target_ / "a.txt").string(), testimg::BytesOf("keep"));
  testimg::WriteFile((target_ / "B.bin").string(), testimg::BytesOf("keep"));
  ListAndMarkAll();
  prompts_.answers = {OverwriteChoice::kSkip, OverwriteChoice::kReplace};
  ASSERT_TRUE(Start(codec::Operation::kCompress3));
  EXPECT_EQ(prompts_.asked,
            (std::vector<std::string>{(target_ / "a.txt").string(), (target_ / "B.bin").string()}));
  EXPECT_EQ(s().count_text, "  1 Dateien (de-) komprimiert");
  EXPECT_EQ(testimg::ReadFile((target_ / "a.txt").string()), testimg::BytesOf("keep"));
  EXPECT_NE(testimg::ReadFile((target_ / "B.bin").string()), testimg::BytesOf("keep"));

  // "Yes to all" asks no more; ticked, nothing is asked at all.
  prompts_.asked.clear();
  prompts_.answers = {OverwriteChoice::kReplaceAll};
  ASSERT_TRUE(Start(codec::Operation::kCompress3));
  EXPECT_EQ(prompts_.asked.size(), 1u);
  EXPECT_EQ(s().count_text, "  2 Dateien (de-) komprimiert");
  prompts_.asked.clear();
  ASSERT_TRUE(Start(codec::Operation::kCompress3, true));
  EXPECT_TRUE(prompts_.asked.empty());

  // Cancel at the question ends the run and says how far it got.
  prompts_.answers = {OverwriteChoice::kReplace, OverwriteChoice::kCancel};
  ASSERT_TRUE(Start(codec::Operation::kCompress3));
  EXPECT_EQ(s().count_text, "  1 Dateien (de-) komprimiert\n  abgebrochen nach 1 von 2");
  // So does a cancel in the progress, before the first file.
  prompts_.cancel_at = 1;
  ASSERT_TRUE(Start(codec::Operation::kCompress3));
  EXPECT_EQ(s().count_text, "  0 Dateien (de-) komprimiert\n  abgebrochen nach 0 von 2");
}

TEST_F(BatchPresenterTest, MarksWithoutATargetFolderStartNothing) {
  presenter_->ChooseSourceFolder(source_.string());
  (void)presenter_->ToggleMark(3);
  EXPECT_FALSE(Start(codec::Operation::kCompress4));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].first, "Es fehlt ein Zielverzeichnis.");
  EXPECT_EQ(prompts_.messages[0].second, Severity::kWarning);
  EXPECT_FALSE(s().running);
  // One run at a time: "Start" during a run begins nothing.
  presenter_->ChooseTargetFolder(target_.string());
  ASSERT_TRUE(presenter_->BeginRun());
  EXPECT_FALSE(presenter_->BeginRun());
  presenter_->Run(codec::Operation::kCompress4, false);
  presenter_->EndRun();
  EXPECT_FALSE(s().running);
  EXPECT_EQ(prompts_.messages.size(), 1u);
}

// The same folder for source and target, however spelt, is refused before anything is
// written: the results would replace the originals.
TEST_F(BatchPresenterTest, TheSourceFolderAsTargetIsRefused) {
  presenter_->ChooseSourceFolder(source_.string());
  (void)presenter_->ToggleMark(3);
  presenter_->ChooseTargetFolder((source_ / "sub" / "..").string());
  const testimg::Bytes original = testimg::ReadFile((source_ / "a.txt").string());
  EXPECT_FALSE(Start(codec::Operation::kCompress4, true));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_NE(prompts_.messages[0].first.find("dasselbe"), std::string::npos);
  EXPECT_FALSE(s().running);
  EXPECT_EQ(testimg::ReadFile((source_ / "a.txt").string()), original);
  // Nothing marked: nothing to refuse either.
  (void)presenter_->ToggleMark(3);
  EXPECT_TRUE(Start(codec::Operation::kCompress4));
  EXPECT_EQ(prompts_.messages.size(), 1u);
}

// Typed folders are the folders used; the lists can be read anew, and a folder line opens.
TEST_F(BatchPresenterTest, TypedFoldersRefreshAndFolderLines) {
  EXPECT_TRUE(presenter_->TypeSourceFolder(source_.string()));
  ASSERT_EQ(s().source_rows.size(), 5u);
  (void)presenter_->ToggleMark(3);
  EXPECT_TRUE(presenter_->TypeSourceFolder(source_.string()));  // the same: the marks stay
  EXPECT_TRUE(s().source_rows[3].marked);
  EXPECT_FALSE(presenter_->TypeTargetFolder((dir_.path() / "missing").string()));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].first, "Kein Verzeichnis: " + (dir_.path() / "missing").string());
  EXPECT_TRUE(s().target_folder.empty());
  EXPECT_TRUE(presenter_->TypeTargetFolder(target_.string()));
  EXPECT_EQ(s().target_folder, target_.string());
  ASSERT_TRUE(Start(codec::Operation::kCompress4));
  EXPECT_TRUE(std::filesystem::exists(target_ / "a.txt"));

  // Read anew: a new file shows, a gone one goes, the marks of the others stay.
  testimg::WriteFile((source_ / "c.dat").string(), testimg::BytesOf("c"));
  std::filesystem::remove(source_ / "B.bin");
  testimg::WriteFile((target_ / "x.out").string(), testimg::BytesOf("x"));
  presenter_->Refresh();
  std::vector<std::string> names;
  for (const BatchRow& row : s().source_rows) names.push_back(row.name);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "sub", "a.txt", "c.dat"}));
  EXPECT_TRUE(s().source_rows[3].marked);
  EXPECT_FALSE(s().source_rows[4].marked);
  EXPECT_EQ(s().target_rows.size(), 2u);

  // A folder line lists its folder, ".." the one above; a file line opens nothing.
  EXPECT_FALSE(presenter_->OpenFolderRow(3));
  EXPECT_TRUE(presenter_->OpenFolderRow(2));
  EXPECT_TRUE(std::filesystem::equivalent(s().source_folder, source_ / "sub"));
  EXPECT_EQ(s().source_rows.size(), 2u);  // "." and ".."
  EXPECT_TRUE(presenter_->OpenFolderRow(1));
  EXPECT_TRUE(std::filesystem::equivalent(s().source_folder, source_));
}

TEST_F(BatchPresenterTest, NamesAreTakenAsTheyAreNotFromTheirText) {
  // A file named like a folder's line, and one whose name ends in blanks.
  testimg::WriteFile((source_ / "x[DIR]").string(), testimg::Pattern(100, 3));
  testimg::WriteFile((source_ / "b  ").string(), testimg::Pattern(50, 4));
  testimg::WriteFile((source_ / "b").string(), testimg::Pattern(60, 5));
  presenter_->ChooseSourceFolder(source_.string());
  presenter_->ChooseTargetFolder(target_.string());
  const std::vector<BatchRow>& rows = s().source_rows;
  for (const char* name : {"x[DIR]", "b  "}) {
    const auto it = std::find_if(rows.begin(), rows.end(),
                                 [&](const BatchRow& row) { return row.name == name; });
    ASSERT_NE(it, rows.end()) << name;
    EXPECT_TRUE(presenter_->ToggleMark(it - rows.begin())) << name;
  }
  ASSERT_TRUE(Start(codec::Operation::kCompress4));
  EXPECT_EQ(s().count_text, "  2 Dateien (de-) komprimiert");
  EXPECT_TRUE(std::filesystem::exists(target_ / "x[DIR]"));
  EXPECT_TRUE(std::filesystem::exists(target_ / "b  "));
  EXPECT_FALSE(std::filesystem::exists(target_ / "b"));
  // Decompressed again, each gives its own file.
  presenter_->ChooseSourceFolder(target_.string());
  const std::filesystem::path out = dir_.path() / "out";
  std::filesystem::create_directories(out);
  presenter_->ChooseTargetFolder(out.string());
  for (int64_t i = 0; i < 4; ++i) (void)presenter_->ToggleMark(i);
  ASSERT_TRUE(Start(codec::Operation::kDecompress4));
  EXPECT_EQ(testimg::ReadFile((out / "x[DIR]").string()), testimg::Pattern(100, 3));
  EXPECT_EQ(testimg::ReadFile((out / "b  ").string()), testimg::Pattern(50, 4));
}

TEST_F(BatchPresenterTest, AnEmptyFileAndTheEmptyStreamAreResults) {
  std::filesystem::remove(source_ / "B.bin");
  std::filesystem::remove(source_ / "a.txt");
  testimg::WriteFile((source_ / "e").string(), {});
  ListAndMarkAll();
  ASSERT_TRUE(Start(codec::Operation::kCompress4, true));
  EXPECT_EQ(s().count_text, "  1 Dateien (de-) komprimiert");
  EXPECT_EQ(testimg::ReadFile((target_ / "e").string()), (testimg::Bytes{0, 0, 0}));
  presenter_->ChooseSourceFolder(target_.string());
  (void)presenter_->ToggleMark(2);
  const std::filesystem::path out = dir_.path() / "out";
  std::filesystem::create_directories(out);
  presenter_->ChooseTargetFolder(out.string());
  ASSERT_TRUE(Start(codec::Operation::kDecompressRom, true));
  EXPECT_TRUE(std::filesystem::exists(out / "e"));
  EXPECT_EQ(std::filesystem::file_size(out / "e"), 0u);
  EXPECT_EQ(prompts_.added.back(), " e                          0 Bytes");
}

TEST_F(BatchPresenterTest, AFileErrorEndsTheRunAndIsShown) {
  const std::string fifo = (source_ / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ListAndMarkAll();  // would wait for a writer if the listing opened the FIFO
  EXPECT_NE(std::find(s().source_rows.begin(), s().source_rows.end(),
                      [] {
                        BatchRow row = FileRow("pipe", -1);
                        ToggleMark(row);
                        return row;
                      }()),
            s().source_rows.end());
  std::filesystem::remove(source_ / "a.txt");
  ASSERT_TRUE(Start(codec::Operation::kCompress4, true));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_NE(prompts_.messages[0].first.find("a.txt"), std::string::npos);
  EXPECT_EQ(prompts_.messages[0].second, Severity::kError);
  EXPECT_EQ(s().count_text, "");  // the count stays as it was
  // The FIFO, once it is the first file, ends the run as a file error too.
  // The list was read anew after the run: a.txt is gone, B.bin and the FIFO keep their marks.
  ASSERT_EQ(s().source_rows[3].name, "B.bin");
  ASSERT_TRUE(s().source_rows[4].marked);
  (void)presenter_->ToggleMark(3);
  ASSERT_TRUE(Start(codec::Operation::kCompress4, true));
  ASSERT_EQ(prompts_.messages.size(), 2u);
  EXPECT_EQ(prompts_.messages[1].first, fifo + ": not a regular file");
}

}  // namespace
}  // namespace presenter
