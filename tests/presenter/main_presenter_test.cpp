// Tests of the main window's behaviour without a display: what each control shows and says,
// the status texts of every action, the selection after it, and the attribute box.
#include "ui/presenter/main_presenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <filesystem>
#include <functional>

#include "rom/listing/row_actions.h"
#include "rom/rom_header.h"
#include "rom/text_format.h"
#include "tests/image_builder/demo_image.h"
#include "tests/rom/test_files.h"
#include "ui/presenter/save_filter.h"

namespace presenter {
namespace {

using testimg::Bytes;

class ScriptedPrompts final : public Prompts {
 public:
  std::deque<std::string> files;  // answers of file dialogs; "" cancels
  std::vector<FileRequest> requests;
  struct Shown {
    std::string text, caption;
    Severity severity;
  };
  std::vector<Shown> messages;
  int beeps = 0;
  std::deque<SaveChanges> save_answers;  // answers to "Änderungen speichern?"; none: cancel
  int save_questions = 0;

  std::optional<std::string> OpenFile(const FileRequest& r) override { return Next(r); }
  std::optional<std::string> SaveFile(const FileRequest& r) override { return Next(r); }
  void Message(const std::string& text, const std::string& caption, Severity s) override {
    messages.push_back({text, caption, s});
  }
  void Beep() override { ++beeps; }
  SaveChanges AskSaveChanges() override {
    ++save_questions;
    if (save_answers.empty()) return SaveChanges::kCancel;
    const SaveChanges answer = save_answers.front();
    save_answers.pop_front();
    return answer;
  }

 private:
  std::optional<std::string> Next(const FileRequest& r) {
    requests.push_back(r);
    if (files.empty()) return std::nullopt;
    std::string answer = files.front();
    files.pop_front();
    if (answer.empty()) return std::nullopt;
    return answer;
  }
};

// The demo image with its "compressed" files stored as they are; the decompression copies.
std::optional<uint32_t> Copying(std::span<const uint8_t> src, std::span<uint8_t> dst) {
  if (src.size() > dst.size()) return std::nullopt;
  std::copy(src.begin(), src.end(), dst.begin());
  return static_cast<uint32_t>(src.size());
}

class MainPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    demo_ = dir_.File("demo.nb0");
    testimg::WriteFile(demo_, testimg::DemoImage([](const Bytes& b) { return b; }));
  }
  void LoadDemo() {
    p_.ChooseFlash(rom::FlashChoice::k32MB);
    prompts_.files.push_back(demo_);
    p_.Load();
    ASSERT_FALSE(p_.lists().MemoryMap.empty());
  }
  // Index of the first map line that holds all of `parts`.
  int64_t Row(std::initializer_list<const char*> parts) const {
    const std::vector<rom::MapRow>& map = p_.lists().MemoryMap;
    for (size_t i = 0; i < map.size(); ++i) {
      bool all = true;
      for (const char* part : parts) all = all && map[i].text.find(part) != std::string::npos;
      if (all) return static_cast<int64_t>(i);
    }
    ADD_FAILURE() << "no line";
    return -1;
  }
  // The first fixed-block line behind the data line of file `name`.
  int64_t FixedBlockAfter(const char* name) const {
    const std::vector<rom::MapRow>& map = p_.lists().MemoryMap;
    for (auto i = static_cast<size_t>(Row({"F[", name})); i < map.size(); ++i) {
      if (map[i].kind == rom::StretchKind::kFixedBlock) return static_cast<int64_t>(i);
    }
    ADD_FAILURE() << "no fixed block";
    return -1;
  }
  // "Delta= N ..." of a deletion as a number.
  int32_t Delta() const {
    EXPECT_EQ(s().status_detail.rfind("Delta= ", 0), 0u) << s().status_detail;
    return static_cast<int32_t>(std::stoul(s().status_detail.substr(7), nullptr, 16));
  }
  const MainState& s() const { return p_.state(); }

  testimg::TempDir dir_;
  std::string demo_;
  ScriptedPrompts prompts_;
  MainPresenter p_{prompts_, Copying, "/"};
};

TEST_F(MainPresenterTest, LoadingWaitsForAFlashSizeAndFreezesTheChoices) {
  EXPECT_FALSE(s().load.enabled);
  EXPECT_FALSE(s().save_file.enabled);
  EXPECT_FALSE(s().edit_group_visible);
  EXPECT_FALSE(s().hex.visible);
  LoadDemo();
  EXPECT_TRUE(s().load.enabled);
  EXPECT_FALSE(s().flash_enabled);
  EXPECT_EQ(s().status_subject, "max. FlashSize: 33554432 ( 32 MB )");
  EXPECT_EQ(s().title, demo_);
  EXPECT_EQ(prompts_.requests.back().filter, "linked WinCE Images (*.nb0 *.bin);;all Files (*.*)");
  p_.ChooseFlash(rom::FlashChoice::k64MB);  // frozen after the first load
  EXPECT_EQ(s().flash, rom::FlashChoice::k32MB);
}

TEST_F(MainPresenterTest, EveryKindOfLineGivesItsButtons) {
  LoadDemo();
  p_.ShowSorted(true);
  EXPECT_EQ(s().write.caption, "Liste speichern");
  EXPECT_TRUE(s().edit_group_visible);
  EXPECT_FALSE(s().compress_tool.visible);
  // A file with a fixed block behind it: export and replace, not delete.
  p_.SelectMapLine(Row({"F[", "boot.ini"}));
  EXPECT_TRUE(s().save_file.enabled);
  EXPECT_TRUE(s().replace.enabled);
  EXPECT_FALSE(s().del.enabled);
  EXPECT_EQ(s().del.caption, "Datei löschen");
  EXPECT_EQ(s().status_detail.substr(0, 12), "0000200C .. ");
  // Panel 2 says why the file cannot be deleted.
  EXPECT_NE(s().status_detail.find(" — Hinter der Datei bei 0000200C liegt ein fixer Block; sie "
                                   "kann nicht gelöscht werden."),
            std::string::npos)
      << s().status_detail;
  // A fixed block: "Block löschen", nothing else.
  p_.SelectMapLine(FixedBlockAfter("readme.txt"));
  EXPECT_TRUE(s().del.enabled);
  EXPECT_EQ(s().del.caption, "Block löschen");
  EXPECT_FALSE(s().replace.enabled);
  EXPECT_FALSE(s().save_file.enabled);
  // Back on a file line behind which a fixed block lies, the caption follows the line.
  p_.SelectMapLine(Row({"F[", "boot.ini"}));
  EXPECT_EQ(s().del.caption, "Datei löschen");
  // The last file before the header: "Datei löschen" enabled.
  p_.SelectMapLine(Row({"F[", "tz.dat"}));
  EXPECT_TRUE(s().del.enabled);
  for (const char* kind : {"namestr", "ROM Header", "unallocated", " .  "}) {
    p_.SelectMapLine(Row({kind}));
    EXPECT_FALSE(s().save_file.enabled || s().replace.enabled || s().del.enabled) << kind;
  }
  // Switching the view takes back replace and delete whatever is selected.
  p_.SelectMapLine(Row({"F[", "tz.dat"}));
  p_.ShowSorted(false);
  p_.ShowSorted(true);
  EXPECT_FALSE(s().del.enabled || s().replace.enabled);
  EXPECT_EQ(s().status_detail, "");
  // In the log, module and file lines enable export; other lines do not.
  p_.ShowSorted(false);
  const std::vector<rom::LogRow>& log = p_.lists().AnalysisLog;
  const auto module = std::find_if(
      log.begin(), log.end(), [](const rom::LogRow& row) { return row.text.starts_with("M["); });
  p_.SelectLogLine(module - log.begin());
  EXPECT_TRUE(s().save_file.enabled);
  EXPECT_EQ(s().status_detail.substr(0, 2), "M[");
  p_.SelectLogLine(3);
  EXPECT_FALSE(s().save_file.enabled);
  EXPECT_EQ(s().status_detail, "");
}

TEST_F(MainPresenterTest, DeletionsReportAndLeaveNothingSelected) {
  LoadDemo();
  p_.ShowSorted(true);
  const int32_t length = p_.image().ImageLength();
  p_.SelectMapLine(FixedBlockAfter("readme.txt"));
  p_.DeleteSelected();
  EXPECT_TRUE(s().delete_warning_visible);
  p_.CancelBlockDeletion();
  EXPECT_FALSE(s().delete_warning_visible);
  EXPECT_EQ(p_.image().ImageLength(), length);
  p_.DeleteSelected();
  p_.ConfirmBlockDeletion();
  EXPECT_EQ(p_.image().ImageLength(), length - Delta());
  EXPECT_NE(s().status_detail.find(" geänderte Direntries= 13 Base= 88000000"), std::string::npos);
  EXPECT_EQ(s().map_selection, -1);

  p_.SelectMapLine(Row({"F[", "tz.dat"}));
  const uint64_t revision = s().lists_revision;
  p_.DeleteSelected();
  EXPECT_NE(s().status_detail.find(" geänderte Direntries= 2 Base= 88000000"), std::string::npos);
  EXPECT_GT(s().lists_revision, revision);
  // Nothing selected: the file buttons are off and a click on them does nothing.
  EXPECT_EQ(s().map_selection, -1);
  EXPECT_FALSE(s().del.enabled || s().replace.enabled || s().save_file.enabled);
  p_.DeleteSelected();
  EXPECT_EQ(s().lists_revision, revision + 1);
}

// Every change of the image rewrites both lists and moves their rows: a log row that stayed
// selected would name another entry (and export it). After each change nothing is selected in
// the log; the map keeps its row only after a replacement and an entry edit, which act on it.
TEST_F(MainPresenterTest, NoLogRowStaysSelectedAfterAChange) {
  LoadDemo();
  const std::string picked = dir_.File("picked.bin");
  testimg::WriteFile(picked, testimg::Pattern(8, 3));
  struct Change {
    const char* what;
    const char* map_row;  // the map line selected before the change
    std::function<void()> run;
    bool map_kept;
  };
  const std::vector<Change> changes = {
      {"file deletion", "tz.dat", [&] { p_.DeleteSelected(); }, false},
      {"block deletion", nullptr,
       [&] {
         p_.SelectMapLine(FixedBlockAfter("readme.txt"));
         p_.DeleteSelected();
         p_.ConfirmBlockDeletion();
       },
       false},
      {"addition", "readme.txt",
       [&] {
         prompts_.files.push_back(picked);
         p_.AddFile();
       },
       false},
      {"replacement", "readme.txt",
       [&] {
         // "roh": this presenter has no compression to make the stored form with.
         p_.SetRawExport(true);
         prompts_.files.push_back(picked);
         p_.ReplaceSelected();
         p_.SetRawExport(false);
       },
       true},
      {"entry edit", "readme.txt",
       [&] {
         p_.OpenEntryEdit();
         p_.ConfirmEntryEdit("$00000001", "8");
       },
       true},
  };
  for (const Change& change : changes) {
    p_.LoadPath(demo_);
    ASSERT_FALSE(s().modified);
    // A file line of the log selected: it can be exported.
    p_.ShowSorted(false);
    const std::vector<rom::LogRow>& log = p_.lists().AnalysisLog;
    const auto file = std::find_if(log.begin(), log.end(), [](const rom::LogRow& row) {
      return row.text.starts_with("F[") && row.text.find("boot.ini") != std::string::npos;
    });
    ASSERT_NE(file, log.end());
    p_.SelectLogLine(file - log.begin());
    ASSERT_TRUE(s().save_file.enabled) << change.what;
    p_.ShowSorted(true);
    const int64_t row = change.map_row ? Row({"F[", change.map_row}) : -1;
    if (change.map_row) p_.SelectMapLine(row);
    const uint64_t revision = s().lists_revision;
    change.run();

    ASSERT_GT(s().lists_revision, revision) << change.what << " changed nothing: " << s().status_detail;
    EXPECT_TRUE(s().modified) << change.what;
    EXPECT_EQ(s().title, "*" + demo_) << change.what;
    EXPECT_EQ(s().log_selection, -1) << change.what;
    EXPECT_EQ(s().map_selection, change.map_kept ? row : -1) << change.what;
    EXPECT_EQ(s().save_file.enabled, change.map_kept) << change.what;
    EXPECT_EQ(s().del.enabled || s().replace.enabled, change.map_kept) << change.what;
    // Back in the log, nothing is selected and there is nothing to export.
    p_.ShowSorted(false);
    EXPECT_FALSE(s().save_file.enabled) << change.what;
    EXPECT_EQ(s().log_selection, -1) << change.what;
  }
}

// Unsaved changes: the title marks them, and whatever would drop the image (a load, a reload,
// closing the window) asks first; each answer does what it says.
TEST_F(MainPresenterTest, UnsavedChangesAreMarkedAndAskedAbout) {
  EXPECT_FALSE(s().write.enabled);  // no list yet: "Log speichern" would write an empty file
  LoadDemo();
  EXPECT_TRUE(s().write.enabled);
  EXPECT_EQ(s().title, demo_);
  EXPECT_TRUE(p_.MayDropImage());  // nothing changed: nothing asked
  EXPECT_EQ(prompts_.save_questions, 0);
  p_.ShowSorted(true);
  p_.SelectMapLine(Row({"F[", "tz.dat"}));
  p_.DeleteSelected();
  ASSERT_TRUE(s().modified);
  EXPECT_EQ(s().title, "*" + demo_);
  const int32_t changed = p_.image().ImageLength();
  const size_t requests = prompts_.requests.size();

  // "Abbrechen": the load asks for no file and the image stays.
  prompts_.save_answers.push_back(SaveChanges::kCancel);
  p_.Load();
  EXPECT_EQ(prompts_.save_questions, 1);
  EXPECT_EQ(prompts_.requests.size(), requests);
  EXPECT_FALSE(p_.MayDropImage());  // (the window stays open: no answer left means cancel)
  // "Speichern" with the save dialog cancelled: nothing was saved, so the image stays too.
  prompts_.save_answers.push_back(SaveChanges::kSave);
  prompts_.files.push_back("");
  p_.Reload();
  EXPECT_EQ(p_.image().ImageLength(), changed);
  EXPECT_TRUE(s().modified);
  EXPECT_EQ(prompts_.requests.back().title, "Image speichern");

  // "Speichern": written; the title names the file saved to, panel 2 where it went.
  const std::string saved = dir_.File("saved.nb0");
  prompts_.save_answers.push_back(SaveChanges::kSave);
  prompts_.files.push_back(saved);
  EXPECT_TRUE(p_.MayDropImage());
  EXPECT_EQ(testimg::ReadFile(saved).size(), static_cast<size_t>(changed));
  EXPECT_FALSE(s().modified);
  EXPECT_EQ(s().title, saved);
  EXPECT_EQ(s().status_detail, "Image gespeichert: " + saved);

  // "Verwerfen": the reload reads the saved file from disk, the edit since is gone.
  p_.ShowSorted(true);
  p_.SelectMapLine(Row({"F[", "empty.dat"}));
  p_.DeleteSelected();
  ASSERT_TRUE(s().modified);
  prompts_.save_answers.push_back(SaveChanges::kDiscard);
  p_.Reload();
  EXPECT_EQ(prompts_.save_questions, 5);
  EXPECT_EQ(p_.image().ImageLength(), changed);
  EXPECT_FALSE(s().modified);
  EXPECT_EQ(s().title, saved);
}

// A file dropped onto the window loads with the flash size chosen, or 32 MB before any choice,
// and asks first about unsaved changes.
TEST_F(MainPresenterTest, ADroppedFileLoadsLikeTheFirstLoad) {
  p_.LoadDropped(demo_);
  EXPECT_EQ(s().flash, rom::FlashChoice::k32MB);
  EXPECT_FALSE(s().flash_enabled);
  EXPECT_EQ(s().title, demo_);
  EXPECT_EQ(p_.image().BufferSize(), 32 * 1024 * 1024);
  p_.ShowSorted(true);
  p_.SelectMapLine(Row({"F[", "tz.dat"}));
  p_.DeleteSelected();
  const std::string other = dir_.File("other.nb0");
  std::filesystem::copy_file(demo_, other);
  p_.LoadDropped(other);  // cancelled at the question
  EXPECT_EQ(prompts_.save_questions, 1);
  EXPECT_EQ(s().title, "*" + demo_);
  prompts_.save_answers.push_back(SaveChanges::kDiscard);
  p_.LoadDropped(other);
  EXPECT_EQ(s().title, other);
}

// The recent images: newest first, each once, at most eight; a saved image joins them; one that
// no longer loads leaves them; a recent load asks about unsaved changes like any load.
TEST_F(MainPresenterTest, RecentImagesFollowLoadsAndSaves) {
  std::vector<std::string> kept;
  for (int i = 0; i < 10; ++i) kept.push_back(dir_.File("old" + std::to_string(i % 9) + ".nb0"));
  p_.SetRecentFiles(kept);  // old8 comes twice: kept once; ten paths, eight kept
  ASSERT_EQ(s().recent_files.size(), kMaxRecentFiles);
  EXPECT_EQ(s().recent_files.back(), dir_.File("old7.nb0"));

  LoadDemo();
  EXPECT_EQ(s().recent_files.front(), demo_);
  EXPECT_EQ(s().recent_files.size(), kMaxRecentFiles);
  // old0 is missing: the load says so and its line goes.
  p_.LoadRecent(1);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].severity, Severity::kError);
  EXPECT_EQ(std::ranges::count(s().recent_files, dir_.File("old0.nb0")), 0);
  EXPECT_EQ(s().recent_files.size(), kMaxRecentFiles - 1);

  p_.LoadRecent(0);
  EXPECT_EQ(s().title, demo_);
  p_.ShowSorted(true);
  p_.SelectMapLine(Row({"F[", "tz.dat"}));
  p_.DeleteSelected();
  const std::string saved = dir_.File("saved.nb0");
  prompts_.files.push_back(saved);
  p_.SaveImage();
  EXPECT_EQ(s().recent_files[0], saved);
  EXPECT_EQ(s().recent_files[1], demo_);
  p_.DeleteSelected();  // an unsaved edit again
  p_.SelectMapLine(Row({"F[", "empty.dat"}));
  p_.DeleteSelected();
  ASSERT_TRUE(s().modified);
  p_.LoadRecent(1);  // "Abbrechen" at the question: nothing loads, the list stays
  EXPECT_EQ(prompts_.save_questions, 1);
  EXPECT_EQ(s().title, "*" + saved);
  EXPECT_EQ(s().recent_files[0], saved);
  prompts_.save_answers.push_back(SaveChanges::kDiscard);
  p_.LoadRecent(1);
  EXPECT_EQ(s().title, demo_);
  EXPECT_EQ(s().recent_files[0], demo_);
  p_.LoadRecent(99);  // no such line: nothing happens
  EXPECT_EQ(s().title, demo_);
  p_.ClearRecentFiles();
  EXPECT_TRUE(s().recent_files.empty());
}

// The filter chosen in a save dialog gives a name typed without an extension its extension.
TEST(SaveFilterTest, TheFirstPatternGivesTheExtension) {
  EXPECT_EQ(FilterSuffix("ROM Images (*.nb0)"), "nb0");
  EXPECT_EQ(FilterSuffix("B000FF records (*.bin)"), "bin");
  EXPECT_EQ(FilterSuffix("Texts (*.txt *.log)"), "txt");
  EXPECT_EQ(FilterSuffix("*.reg"), "reg");
  // Every file, or no pattern: the name stays as typed.
  EXPECT_EQ(FilterSuffix("Other (*.*)"), "");
  EXPECT_EQ(FilterSuffix("all Files (*)"), "");
  EXPECT_EQ(FilterSuffix("Images (*.nb?)"), "");
  EXPECT_EQ(FilterSuffix("Broken (*.bin"), "");
  EXPECT_EQ(FilterSuffix(""), "");
}

// The filter narrows both lists to the lines that contain its text, in any case; selections
// stay lines of the whole lists, and a change of the image is filtered anew.
TEST_F(MainPresenterTest, TheFilterNarrowsBothListsAndKeepsTheSelection) {
  LoadDemo();
  const std::vector<rom::MapRow>& map = p_.lists().MemoryMap;
  EXPECT_EQ(s().map_shown.size(), map.size());
  EXPECT_EQ(s().log_shown.size(), p_.lists().AnalysisLog.size());
  p_.ShowSorted(true);
  const int64_t readme = Row({"F[", "readme.txt"});
  p_.SelectMapLine(readme);
  const uint64_t revision = s().lists_revision;
  p_.SetFilter("README");
  EXPECT_GT(s().lists_revision, revision);  // the window shows the lists anew
  ASSERT_EQ(s().map_shown.size(), 2u);      // the name and the data line
  EXPECT_EQ(s().map_shown[1], readme);
  ASSERT_FALSE(s().log_shown.empty());
  for (const int64_t row : s().log_shown) {
    EXPECT_NE(p_.lists().AnalysisLog[static_cast<size_t>(row)].text.find("readme"),
              std::string::npos);
  }
  EXPECT_EQ(s().map_selection, readme);
  EXPECT_TRUE(s().save_file.enabled);
  // Offsets typed in lower case; a name's Windows-1252 letters as typed (UTF-8).
  std::string offset = rom::H8(static_cast<uint32_t>(map[static_cast<size_t>(readme)].first));
  for (char& c : offset) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  p_.SetFilter(offset.substr(4));
  EXPECT_NE(std::find(s().map_shown.begin(), s().map_shown.end(), readme), s().map_shown.end());
  p_.SetFilter("\xE2\x82\xACuro");
  EXPECT_EQ(s().map_shown.size(), 2u);
  // After a deletion the new lists are filtered: the deleted file's lines are gone.
  p_.SelectMapLine(s().map_shown[1]);
  p_.DeleteSelected();
  EXPECT_TRUE(s().map_shown.empty());
  p_.SetFilter("");
  EXPECT_EQ(s().map_shown.size(), map.size());
}

TEST_F(MainPresenterTest, ARefusalBeepsAndWarnsAndChangesNothing) {
  LoadDemo();
  p_.ShowSorted(true);
  const auto before = p_.image().Buffer();
  const Bytes copy(before.begin(), before.end());
  p_.SelectMapLine(0);  // the leading gap holds the signature block
  p_.DeleteSelected();
  p_.ConfirmBlockDeletion();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].caption, "Das geht nicht");
  EXPECT_EQ(prompts_.messages[0].severity, Severity::kWarning);
  EXPECT_NE(prompts_.messages[0].text.find("Signaturblock"), std::string::npos);
  EXPECT_EQ(prompts_.beeps, 1);
  EXPECT_TRUE(std::equal(copy.begin(), copy.end(), p_.image().Buffer().begin()));
}

TEST_F(MainPresenterTest, ALoadClearsWhatThePreviousImageShowedAndAFailureIsAnError) {
  LoadDemo();
  p_.ShowSorted(true);
  p_.SelectMapLine(Row({"F[", "tz.dat"}));
  const std::string plain = dir_.File("plain.nb0");
  testimg::WriteFile(plain, {1, 2, 3});
  p_.LoadPath(plain);
  EXPECT_EQ(s().status_detail, "Kein ROM Header im Image");
  EXPECT_EQ(s().map_selection, -1);
  EXPECT_FALSE(s().del.enabled || s().replace.enabled);
  p_.LoadPath(dir_.File("missing.nb0"));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].severity, Severity::kError);
  EXPECT_NE(prompts_.messages[0].text.find("missing.nb0"), std::string::npos);
  EXPECT_TRUE(p_.lists().AnalysisLog.empty());
}

TEST_F(MainPresenterTest, ExportSaysWhatItIsDoingAndWhatItDid) {
  LoadDemo();
  p_.ShowSorted(true);
  p_.SelectMapLine(Row({"F[", "readme.txt"}));
  prompts_.files.push_back(dir_.File("readme.out"));
  p_.ExportSelected();
  EXPECT_EQ(prompts_.requests.back().title, "save Item \"readme.txt\" to File");
  EXPECT_EQ(prompts_.requests.back().file_name, "readme.txt");
  EXPECT_EQ(s().status_detail, "File readme.txt decompressed & written");
  EXPECT_EQ(s().status_subject, "");
  EXPECT_EQ(testimg::ReadFile(dir_.File("readme.out")).size(), 1830u);
  // A raw copy does not keep the claim of a decompression: panel 2 shows the line again.
  p_.SetRawExport(true);
  prompts_.files.push_back(dir_.File("readme.raw"));
  p_.ExportSelected();
  EXPECT_TRUE(std::filesystem::exists(dir_.File("readme.raw")));
  EXPECT_NE(s().status_detail.find("F[C-R-]"), std::string::npos) << s().status_detail;
  EXPECT_NE(s().status_detail.find("readme.txt"), std::string::npos);
  p_.SetRawExport(false);
  // A cancelled dialog clears panel 1 and writes nothing.
  p_.ExportSelected();
  EXPECT_EQ(s().status_subject, "");
  // A module line of the log writes the module rebuilt as a PE file.
  p_.ShowSorted(false);
  const std::vector<rom::LogRow>& log = p_.lists().AnalysisLog;
  const auto module = std::find_if(log.begin(), log.end(), [](const rom::LogRow& row) {
    return row.text.starts_with("M[-HRS]");
  });
  ASSERT_NE(module, log.end());
  p_.SelectLogLine(module - log.begin());
  prompts_.files.push_back(dir_.File("nk.out"));
  p_.ExportSelected();
  EXPECT_EQ(s().status_detail, "Module nk.exe rebuilt & written");
  const Bytes pe = testimg::ReadFile(dir_.File("nk.out"));
  ASSERT_GT(pe.size(), 0x40u);
  EXPECT_EQ(pe[0], 'M');
  EXPECT_EQ(pe[1], 'Z');
}

TEST_F(MainPresenterTest, AttributeBox) {
  LoadDemo();
  p_.ShowSorted(true);
  const int64_t row = Row({"F[", "hidden.cfg"});
  p_.SelectMapLine(row);
  p_.OpenEntryEdit();
  const EditBoxState& box = s().edit_box;
  ASSERT_TRUE(box.visible);
  EXPECT_EQ(box.att_text, "$00000043");
  EXPECT_EQ(box.checks, (std::array<bool, 4>{false, true, true, false}));
  EXPECT_EQ(box.real_text, "13");
  EXPECT_EQ(s().status_subject, "edit hidden.cfg");
  // A check box reads the field as hexadecimal and rewrites it; other bits survive.
  const uint64_t revision = box.revision;
  p_.ToggleAttribute("12AB", {true, false, false, false});
  EXPECT_EQ(box.att_text, "$00001AA8");
  EXPECT_GT(box.revision, revision);
  p_.ToggleAttribute("$12G4", {true, false, false, false});
  EXPECT_EQ(box.att_text, "$00001AA8");
  EXPECT_EQ(prompts_.beeps, 1);
  // A size that is not a number keeps the box open (AttributeBoxRefusesWhatItsFieldsCannotHold).
  p_.ConfirmEntryEdit("$841", "12a");
  EXPECT_TRUE(box.visible);
  EXPECT_EQ(prompts_.beeps, 2);
  p_.ConfirmEntryEdit("$10000841", "4294967295");
  EXPECT_FALSE(box.visible);
  EXPECT_EQ(s().status_subject, "");
  EXPECT_EQ(prompts_.beeps, 3);  // the beep confirms the change
  EXPECT_EQ(s().map_selection, row);
  EXPECT_NE(p_.lists().MemoryMap[static_cast<size_t>(row)].text.find("F[C-R-] +10000040"),
            std::string::npos);
  // The box closes, and panel 1 clears, when the image changes underneath it.
  p_.SelectMapLine(Row({"F[", "tz.dat"}));
  p_.OpenEntryEdit();
  ASSERT_TRUE(box.visible);
  p_.DeleteSelected();
  EXPECT_FALSE(box.visible);
  EXPECT_EQ(s().status_subject, "");
}

// Texts that are not numbers in their field's range: the beep, a message that names the field
// and the text, the box open, the entry as it was. The largest values still go in.
TEST_F(MainPresenterTest, AttributeBoxRefusesWhatItsFieldsCannotHold) {
  LoadDemo();
  p_.ShowSorted(true);
  const int64_t row = Row({"F[", "hidden.cfg"});
  p_.SelectMapLine(row);
  const uint32_t index = rom::EntryOfMapRow(p_.lists(), row)->index;
  const auto field = [&](uint32_t f) { return rom::FileEntry(p_.image(), index)->Get(f); };
  const std::string size_range = "\" ist keine Zahl von 0 bis 4294967295";
  const std::string word_range = "\" ist kein Attributwort von $00000000 bis $FFFFFFFF";
  const std::string unchanged = "; der Eintrag bleibt unver\xC3\xA4ndert";
  struct Case {
    const char* att;
    const char* real;
    std::string message;
  };
  const Case cases[] = {
      {"$841", "abc", "RealSize \"abc" + size_range + unchanged},
      {"$841", "-5", "RealSize \"-5" + size_range + unchanged},
      {"$841", "4294967296", "RealSize \"4294967296" + size_range + unchanged},
      {"$841", "", "RealSize \"" + size_range + unchanged},
      {"$123456789", "13", "Atts \"$123456789" + word_range + unchanged},
      {"-1", "13", "Atts \"-1" + word_range + unchanged},
      {"$12G", "13", "Atts \"$12G" + word_range + unchanged},
  };
  for (const Case& c : cases) {
    p_.OpenEntryEdit();
    const int beeps = prompts_.beeps;
    p_.ConfirmEntryEdit(c.att, c.real);
    EXPECT_TRUE(s().edit_box.visible) << c.message;
    EXPECT_EQ(prompts_.beeps, beeps + 1);
    EXPECT_EQ(s().status_detail, c.message);
    EXPECT_EQ(field(rom::filesentry::dwFileAttributes), 0x43u);
    EXPECT_EQ(field(rom::filesentry::nRealFileSize), 13u);
  }
  // A click on a check box refuses a word wider than 32 bits the same way; the field keeps it.
  p_.ToggleAttribute("$123456789", {true, false, false, false});
  EXPECT_EQ(s().status_detail, "Atts \"$123456789" + word_range + unchanged);
  EXPECT_EQ(s().edit_box.att_text, "$00000043");

  p_.ConfirmEntryEdit("$000000840", "4294967295");
  EXPECT_FALSE(s().edit_box.visible);
  EXPECT_EQ(field(rom::filesentry::dwFileAttributes), 0x840u);
  EXPECT_EQ(field(rom::filesentry::nRealFileSize), 0xFFFFFFFFu);
  p_.OpenEntryEdit();
  p_.ConfirmEntryEdit("FFFFFFFF", " +0x10");
  EXPECT_EQ(field(rom::filesentry::dwFileAttributes), 0xFFFFFFFFu);
  EXPECT_EQ(field(rom::filesentry::nRealFileSize), 16u);
}

TEST_F(MainPresenterTest, ReplaceInFrontOfAFixedBlockLeavesARestAndSaysSo) {
  LoadDemo();
  p_.ShowSorted(true);
  p_.SelectMapLine(Row({"F[", "boot.ini"}));
  const std::string small = dir_.File("small");
  testimg::WriteFile(small, testimg::Pattern(4, 1));
  prompts_.files.push_back(small);
  p_.ReplaceSelected();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].caption, "Das gibt eine Lücke");
  // boot.ini has no C bit: its bytes go in as they are, and the status says so.
  EXPECT_EQ(s().status_detail,
            "Datei ungepackt gespeichert: 4 Bytes (am alten Platz: ein fixer Block liegt "
            "dahinter)");
  EXPECT_EQ(s().map_selection, Row({"F[", "boot.ini"}));
  // "roh" ticked: the raw replacement with its own message.
  p_.SetRawExport(true);
  prompts_.files.push_back(small);
  p_.ReplaceSelected();
  EXPECT_EQ(s().status_detail, "ACHTUNG! Real-FileSize ggf. korrigieren!");
}

TEST_F(MainPresenterTest, AFailedSaveIsAnErrorAndKeepsTheOldFile) {
  LoadDemo();
  const std::string folder = dir_.File("folder");
  std::filesystem::create_directories(folder);
  prompts_.files.push_back(folder);
  p_.SaveImage();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].severity, Severity::kError);
  EXPECT_NE(prompts_.messages[0].text.find("folder"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  prompts_.files.push_back(folder);
  p_.SaveList();
  EXPECT_EQ(prompts_.messages.size(), 2u);
  EXPECT_EQ(prompts_.messages[1].severity, Severity::kError);
}

TEST_F(MainPresenterTest, SavingWithoutAnImageSaysSoAndAsksNothing) {
  p_.SaveImage();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, "Es ist kein Image geladen.");
  EXPECT_TRUE(prompts_.requests.empty());
}

TEST_F(MainPresenterTest, AddingWarnsAboutBytesBehindTheTableAndRefusesBadNames) {
  LoadDemo();
  const std::string odd = dir_.File("bad\x01name");
  testimg::WriteFile(odd, {1});
  prompts_.files.push_back(odd);
  p_.AddFile();
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_NE(prompts_.messages[0].text.find("U+0001"), std::string::npos);
  EXPECT_EQ(p_.image().FileCount(), 12u);
}

}  // namespace
}  // namespace presenter
