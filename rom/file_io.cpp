// Whole-file helpers on the C library's streams.
#include "rom/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "rom/cp1252.h"

namespace rom {

namespace {

std::string Reason(const std::string& path, int err) {
  return path + ": " + std::strerror(err ? err : EIO);
}

}  // namespace

OpenedFile OpenForReading(const std::string& path) {
  OpenedFile f;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    f.error = Reason(path, EISDIR);
    return f;
  }
  errno = 0;
  f.file.reset(std::fopen(path.c_str(), "rb"));
  if (!f.file) {
    f.error = Reason(path, errno ? errno : ENOENT);
    return f;
  }
  long end = -1;
  if (std::fseek(f.file.get(), 0, SEEK_END) == 0) end = std::ftell(f.file.get());
  if (end < 0 || std::fseek(f.file.get(), 0, SEEK_SET) != 0) {
    f.error = Reason(path, errno);
    f.file.reset();
    return f;
  }
  f.size = end;
  return f;
}

FileContent ReadWholeFile(const std::string& path, uint64_t max_size) {
  FileContent c;
  OpenedFile f = OpenForReading(path);
  if (!f.file) {
    c.error = f.error;
    return c;
  }
  if (static_cast<uint64_t>(f.size) > max_size) {
    c.error = path + ": file too large (" + std::to_string(f.size) + " bytes)";
    return c;
  }
  c.bytes.resize(static_cast<size_t>(f.size));
  if (std::fread(c.bytes.data(), 1, c.bytes.size(), f.file.get()) != c.bytes.size()) {
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
