// The batch run: files of one folder passed one by one through one function of the
// compression library, each result written under the same name into the target folder.
#ifndef TARNWICK_UI_PRESENTER_BATCH_RUN_H_
#define TARNWICK_UI_PRESENTER_BATCH_RUN_H_

#include <functional>
#include <string>
#include <vector>

#include "compress/compression_library.h"
#include "ui/presenter/batch_listing.h"

namespace presenter {

enum class OverwriteChoice { kReplace, kSkip, kReplaceAll, kCancel };

struct BatchHooks {
  // Asked before an existing target file is replaced (unless told to replace without asking).
  std::function<OverwriteChoice(const std::string& path)> ask_overwrite;
  // Called before file n (from 1) of m; false cancels the rest.
  std::function<bool(int n, int m, const std::string& name)> progress;
  // Called after each page of the file in hand, where the library tells its pages: the pages
  // done and the pages of the file. False cancels the run there; the file is not written.
  std::function<bool(uint32_t done, uint32_t pages)> page_progress;
  // Called with each result row for the target list as soon as it is known: the file written
  // (kWritten) or refused by the library (kFailed).
  std::function<void(const BatchRow& row)> result;
};

// How a run ended.
struct BatchResult {
  int count = 0;           // files written
  bool finished = false;   // every file was handled
  bool cancelled = false;  // ended by a progress hook or an overwrite question
  int reached = 0;         // the file the run was at when it ended (from 1)
  int total = 0;           // files the run was to handle
  std::string error;       // a file error ended the run: what and where
};

// Why the library refused an input of `size` bytes for `op`: the streams of both codings hold
// less than 16 MiB, and a decompression needs a stream of its coding.
[[nodiscard]] std::string RefusalReason(codec::Operation op, uint64_t size);

// Runs `op` over the files `names` of `source_dir`: reads each file, calls the library with an
// input of its bytes and 4096 zero bytes and a 64 MiB output (capacity 67108863), and writes the
// result under the same name into `target_dir`, whole or not at all. A library failure gives a
// kFailed row and the run goes on; a file error ends it.
[[nodiscard]] BatchResult RunBatch(const std::vector<std::string>& names,
                                   const std::string& source_dir, const std::string& target_dir,
                                   codec::Operation op, const codec::CompressionLibrary& lib,
                                   bool overwrite_without_asking, const BatchHooks& hooks);

}  // namespace presenter

#endif  // TARNWICK_UI_PRESENTER_BATCH_RUN_H_
