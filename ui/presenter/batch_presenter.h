// BatchPresenter: what the batch window shows and decides, without Qt.
//
// The batch window compresses or decompresses files on the PC: the person lists a source
// folder and marks files in it, lists a target folder, chooses one of the library's functions
// and presses "Start". The presenter holds both lists as rows and carries out each of these
// steps; it asks its questions and shows the run's progress through BatchPrompts. The Qt window
// shows the rows and the count, and keeps its controls still while a run goes on.
#ifndef TARNWICK_UI_PRESENTER_BATCH_PRESENTER_H_
#define TARNWICK_UI_PRESENTER_BATCH_PRESENTER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "compress/compression_library.h"
#include "ui/presenter/batch_listing.h"
#include "ui/presenter/batch_run.h"
#include "ui/presenter/prompts.h"

namespace presenter {

// The batch window's questions and the run's progress, answered by the window (or a test).
class BatchPrompts {
 public:
  virtual ~BatchPrompts() = default;
  // A modal box with an OK button, captioned with the window's title.
  virtual void Message(const std::string& text, Severity severity) = 0;
  // Whether the existing target file `path` may be replaced.
  virtual OverwriteChoice AskOverwrite(const std::string& path) = 0;
  // Before file n (from 1) of m of a run; false cancels the rest.
  virtual bool Step(int n, int m, const std::string& name) = 0;
  // After page `done` of the `pages` of the file in hand, where the library tells its pages;
  // false cancels the run there.
  virtual bool PageStep(uint32_t /*done*/, uint32_t /*pages*/) { return true; }
  // A run added `row` at the end of the target list.
  virtual void TargetRowAdded(const BatchRow& row) = 0;
};

struct BatchState {
  std::string source_folder;  // the file system's bytes; empty until one is chosen
  std::string target_folder;
  std::vector<BatchRow> source_rows;
  std::vector<BatchRow> target_rows;
  std::string count_text;  // what the last run did; empty before the first run
  bool running = false;    // from BeginRun to EndRun
};

class BatchPresenter {
 public:
  BatchPresenter(BatchPrompts& prompts, const codec::CompressionLibrary& library);

  [[nodiscard]] const BatchState& state() const { return state_; }

  // A folder chosen: its listing replaces the list (the source with its folders, the target
  // with its files only).
  void ChooseSourceFolder(const std::string& folder);
  void ChooseTargetFolder(const std::string& folder);

  // A folder typed into the source or target field (Enter, the focus leaving it, "Start"):
  // listed as if chosen in the dialog. The folder listed already keeps its list and marks. A
  // text that names no folder is refused with a message; false then.
  bool TypeSourceFolder(const std::string& text);
  bool TypeTargetFolder(const std::string& text);
  // Both lists read anew from disk; the marks of files still there stay.
  void Refresh();
  // A double-click on source row `index`: a folder row ("[DIR]") lists that folder. True when
  // it did.
  bool OpenFolderRow(int64_t index);

  // A click or the blank key on source row `index`: a file row is marked or unmarked, any other
  // row stays. True when the row changed.
  bool ToggleMark(int64_t index);

  // "Start": true when a run may begin now. False while one goes on, and (told to the person)
  // when files are marked but no target folder is chosen (the results would land in whatever
  // folder the program runs in) or the target folder is the source folder (the results would
  // replace the originals).
  [[nodiscard]] bool BeginRun();
  // The run over the marked files as they stand, with library function `op`: each result row
  // joins the target list as it comes (TargetRowAdded); at the end both lists are read anew
  // (the marks stay), the target list with the refused files' rows. Between BeginRun and
  // EndRun.
  void Run(codec::Operation op, bool overwrite_without_asking);
  // The window takes input again: the count of files written (and how far a cancelled run
  // got) for the count label, or the file error that ended the run.
  void EndRun();

 private:
  // Lists `folder` for a side (the source with its folders); a text naming no folder is
  // refused with a message.
  bool ListTyped(const std::string& text, bool source);

  BatchPrompts& prompts_;
  const codec::CompressionLibrary& library_;
  BatchState state_;
  BatchResult last_run_;
  std::vector<BatchRow> failed_;  // the files the library refused in the last run
};

}  // namespace presenter

#endif  // TARNWICK_UI_PRESENTER_BATCH_PRESENTER_H_
