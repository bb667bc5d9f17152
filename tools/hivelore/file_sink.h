// FileSink: hands output in chunks to the temporary file of an atomic write, keeping the first
// error.
#ifndef TARNWICK_TOOLS_HIVELORE_FILE_SINK_H_
#define TARNWICK_TOOLS_HIVELORE_FILE_SINK_H_

#include <optional>
#include <string_view>

#include "fileio/file_io.h"
#include "tools/hivelore/text_output.h"

namespace hivelore {

class FileSink : public ChunkSink {
 public:
  explicit FileSink(fileio::AtomicWriter& file) : file_(file) {}
  bool Write(std::string_view chunk) override {
    error_ = file_.Write(chunk);
    return !error_;
  }
  [[nodiscard]] const std::optional<fileio::Error>& error() const { return error_; }

 private:
  fileio::AtomicWriter& file_;
  std::optional<fileio::Error> error_;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_FILE_SINK_H_
