// The batch window's two lists as rows: a folder's entries with their sizes and marks, and the
// results of a run. Each row keeps what it shows as fields; its text is made here, once, as
// the lists show it (the file system's bytes, padded by characters).
#ifndef TARNWICK_UI_PRESENTER_BATCH_LISTING_H_
#define TARNWICK_UI_PRESENTER_BATCH_LISTING_H_

#include <cstdint>
#include <string>
#include <vector>

namespace presenter {

enum class BatchRowKind {
  kFolder,   // a folder of the source listing: "   [DIR] " and the name
  kFile,     // a file of a listing: "  " (or "* " when marked), the name padded to 18
             // characters, the size padded to 10 and " Bytes"
  kWritten,  // a file a run wrote: " ", the name padded to 18, the size padded to 10, " Bytes"
  kFailed,   // a file the compression library refused: "( name ) --->  Fehler!"
};

struct BatchRow {
  BatchRowKind kind = BatchRowKind::kFile;
  std::string name;     // the file system's bytes (UTF-8 on Linux)
  int64_t size = -1;    // bytes of a file or a written result; -1 when the file cannot be opened
  bool marked = false;  // a file of the source listing that the next run takes
  std::string text;
  std::string reason;  // why the library refused the file (a kFailed row), for its tool tip

  bool operator==(const BatchRow&) const = default;
};

// Rows with their texts.
[[nodiscard]] BatchRow FolderRow(const std::string& name);
[[nodiscard]] BatchRow FileRow(const std::string& name, int64_t size);
[[nodiscard]] BatchRow WrittenRow(const std::string& name, int64_t size);
[[nodiscard]] BatchRow FailedRow(const std::string& name, const std::string& reason = {});

// Marks or unmarks a file row (the first character of its text becomes "*" or a blank); no
// other row changes. Returns whether the row changed.
bool ToggleMark(BatchRow& row);

// The rows of a folder's listing, in the order of SortRows. With folders: every entry, "." and
// ".." included; without: its files only. A file that cannot be opened has the size -1.
[[nodiscard]] std::vector<BatchRow> ListFolder(const std::string& folder, bool with_folders);

// Sorts rows by their texts without regard to the case of letters, keeping the order of equal
// texts. A run's result rows begin with one blank where a listing's file rows have two, so they
// sort behind the listing's files, in order among themselves.
void SortRows(std::vector<BatchRow>& rows);

// "  N Dateien (de-) komprimiert".
[[nodiscard]] std::string CountText(int count);

}  // namespace presenter

#endif  // TARNWICK_UI_PRESENTER_BATCH_LISTING_H_
