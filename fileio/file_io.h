// Whole-file reading and atomic writing for the three programs.
//
// Reading refuses anything that is not a regular file before a byte is read, so a FIFO, a
// folder or a device such as /dev/zero can neither hang a program nor feed it endless input.
// Writing never destroys the old file: the bytes go to a temporary file in the target's own
// folder, which is flushed to disk and then renamed over the target; on any failure the
// temporary file is removed and the target stays as it was. An existing target's permissions
// are kept.
#ifndef TARNWICK_FILEIO_FILE_IO_H_
#define TARNWICK_FILEIO_FILE_IO_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fileio {

enum class ErrorKind {
  kNotFound,    // no file of that name
  kNotRegular,  // a folder, a FIFO, a device ...
  kTooLarge,    // larger than the caller's limit
  kSystem,      // the system refused an operation; `code` holds its errno value
};

struct Error {
  ErrorKind kind = ErrorKind::kSystem;
  std::string path;
  int code = 0;       // errno value for kSystem
  uint64_t size = 0;  // the file's size for kTooLarge
  // "path: reason", the reason in the C library's words.
  [[nodiscard]] std::string Message() const;
};

// A regular file opened for reading, with its size.
class InputFile {
 public:
  InputFile() = default;
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  [[nodiscard]] uint64_t size() const { return size_; }
  // Reads exactly `out.size()` bytes from the current position; an error when the file ends
  // earlier or the system fails.
  [[nodiscard]] std::optional<Error> ReadExactly(std::span<uint8_t> out);

 private:
  friend struct OpenResult OpenForReading(const std::string& path);
  int fd_ = -1;
  uint64_t size_ = 0;
  std::string path_;
};

struct OpenResult {
  InputFile file;
  std::optional<Error> error;
};

// Opens `path` for reading only. Refused (nothing read) when it is not a regular file.
[[nodiscard]] OpenResult OpenForReading(const std::string& path);

struct ReadResult {
  std::vector<uint8_t> bytes;
  std::optional<Error> error;
};

// Reads the whole regular file at `path`; kTooLarge (nothing read) above `max_size` bytes.
[[nodiscard]] ReadResult ReadWholeFile(const std::string& path, uint64_t max_size);

// Writes a file whole or not at all, through a temporary file in the target's folder.
class AtomicWriter {
 public:
  AtomicWriter() = default;
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;
  // An uncommitted file is removed.
  ~AtomicWriter();

  // Creates the temporary file beside `path` (a symbolic link's own target is written).
  [[nodiscard]] std::optional<Error> Open(const std::string& path);
  [[nodiscard]] std::optional<Error> Write(std::span<const uint8_t> bytes);
  [[nodiscard]] std::optional<Error> Write(std::string_view text);
  // Flushes the temporary file to disk, gives it the target's permissions and renames it over
  // the target. On failure the temporary file is removed and the target is untouched.
  [[nodiscard]] std::optional<Error> Commit();
  // Removes the temporary file; the target is untouched.
  void Abort();

  [[nodiscard]] bool is_open() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::optional<uint32_t> mode_;  // the existing target's permission bits
};

// Writes `bytes` to `path` whole or not at all.
[[nodiscard]] std::optional<Error> WriteFileAtomically(const std::string& path,
                                                       std::span<const uint8_t> bytes);

}  // namespace fileio

#endif  // TARNWICK_FILEIO_FILE_IO_H_
