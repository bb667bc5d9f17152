// Whole-file helpers on the C library's streams.
#include "rom/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "rom/cp1252.h"

namespace rom {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string Reason(const std::string& path, int err) {
  return path + ": " + std::strerror(err ? err : EIO);
}

}  // namespace

FileContent ReadWholeFile(const std::string& path, uint64_t max_size) {
  FileContent c;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    c.error = Reason(path, EISDIR);
    return c;
  }
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    c.error = Reason(path, errno);
    return c;
  }
  if (std::fseek(f.get(), 0, SEEK_END) != 0) {
    c.error = Reason(path, errno);
    return c;
  }
  const long end = std::ftell(f.get());
  if (end < 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) {
    c.error = Reason(path, errno);
    return c;
  }
  if (static_cast<uint64_t>(end) > max_size) {
    c.error = path + ": file too large (" + std::to_string(end) + " bytes)";
    return c;
  }
  c.bytes.resize(static_cast<size_t>(end));
  if (std::fread(c.bytes.data(), 1, c.bytes.size(), f.get()) != c.bytes.size()) {
    c.error = Reason(path, errno);
    c.bytes.clear();
  }
  return c;
}

std::string WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return Reason(path, errno);
  const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
  const int write_errno = errno;
  const bool closed = std::fclose(f) == 0;
  if (!written) return Reason(path, write_errno);
  if (!closed) return Reason(path, errno);
  return {};
}

std::string EntryNameFromPath(const std::string& path) {
  const size_t cut = path.find_last_of("\\:/");
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  return Utf8ToCp1252(name).value_or(name);
}

}  // namespace rom
