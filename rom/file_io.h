// Whole-file reads and writes for the editing actions, with the system's reason on failure.
#ifndef TARNWICK_ROM_FILE_IO_H_
#define TARNWICK_ROM_FILE_IO_H_

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rom {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct OpenedFile {
  std::unique_ptr<std::FILE, FileCloser> file;  // positioned at the start; null on failure
  int64_t size = 0;
  std::string error;  // "path: reason"; empty on success
};

// Opens a file for reading only and takes its size. A folder is refused.
[[nodiscard]] OpenedFile OpenForReading(const std::string& path);

struct FileContent {
  std::vector<uint8_t> bytes;
  std::string error;  // "path: reason"; empty on success
};

// Reads the whole file. A file larger than `max_size` is not read (error "too large").
[[nodiscard]] FileContent ReadWholeFile(const std::string& path, uint64_t max_size);

// Creates or empties the file and writes `size` bytes; returns the error text or "".
[[nodiscard]] std::string WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

// The name an added file gets in the image: the path's text after its last "\", ":" or "/",
// in Windows-1252 (a UTF-8 name is converted when every character exists in the code page).
[[nodiscard]] std::string EntryNameFromPath(const std::string& path);

}  // namespace rom

#endif  // TARNWICK_ROM_FILE_IO_H_
