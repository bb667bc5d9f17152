// The batch compress window's logic without its widgets: folder listings, marks, and the run
// that passes every marked file through one function of the compression library.
//
// Names are the file system's own bytes (UTF-8 on Linux); lines are padded by characters.
#ifndef TARNWICK_COMPRESS_BATCH_H_
#define TARNWICK_COMPRESS_BATCH_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compress/compression_library.h"

namespace codec {

// "   [DIR] " + name for a folder; for a file "  " + name padded to 18 characters + the size
// padded to 10 + " Bytes" (size -1 when the file cannot be opened).
[[nodiscard]] std::string FolderLine(const std::string& name);
[[nodiscard]] std::string FileLine(const std::string& name, int64_t size);

// The lines of a folder's listing, sorted by text without regard to the case of letters.
// With folders: every entry, "." and ".." included; without: files only.
[[nodiscard]] std::vector<std::string> ListFolder(const std::string& folder, bool with_folders);

// Sorts list lines in the listings' order. A run's result lines start with one blank where the
// listing's lines have two, so they sort behind the listing, in order among themselves; the
// listing itself is not read anew after a run.
void SortListing(std::vector<std::string>& lines);

// Marks or unmarks a file line (its first character becomes "*" or a blank). Folder lines do
// not change; returns whether the line changed.
bool ToggleMark(std::string& line);

// The file name of a listing line: from its third character up to the size column, trailing
// blanks removed.
[[nodiscard]] std::string NameFromLine(const std::string& line);

// "  N Dateien (de-) komprimiert".
[[nodiscard]] std::string CountText(int count);

enum class OverwriteChoice { kReplace, kSkip, kReplaceAll, kCancel };

struct BatchHooks {
  // Asked before an existing target file is replaced (unless `overwrite_without_asking`).
  std::function<OverwriteChoice(const std::string& path)> ask_overwrite;
  // Called before file n (from 1) of m; false cancels the rest.
  std::function<bool(int n, int m, const std::string& name)> progress;
  // Called with each line for the target list as it is made.
  std::function<void(const std::string& line)> add_target_line;
};

struct BatchResult {
  int count = 0;          // files written
  bool finished = false;  // false: ended by a file error (`error`) or cancelled
  std::string error;
};

// Runs the batch over the marked lines ("*" first) of `source_lines`: reads each file of
// `source_dir`, calls `op` with an input of length + 4096 zero-filled bytes and a 64 MiB output
// (capacity 67108863), and writes the result under the same name into `target_dir`. A library
// failure gives the line "( name ) --->  Fehler!" and the run goes on; a file error ends it.
[[nodiscard]] BatchResult RunBatch(const std::vector<std::string>& source_lines,
                                   const std::string& source_dir, const std::string& target_dir,
                                   Operation op, const CompressionLibrary& lib,
                                   bool overwrite_without_asking, const BatchHooks& hooks);

}  // namespace codec

#endif  // TARNWICK_COMPRESS_BATCH_H_
