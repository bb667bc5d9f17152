// File names in the system's narrow encoding, through the C library rather than
// std::filesystem::path.
#include "fileio/native_path.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fileio {

namespace {

#if defined(_WIN32)
bool IsSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }
constexpr char kSeparator = '\\';
#else
bool IsSeparator(char c) { return c == '/'; }
constexpr char kSeparator = '/';
#endif

}  // namespace

FileKind KindOf(const std::string& path) {
#if defined(_WIN32)
  struct _stat64 st {};
  const int status = _stat64(path.c_str(), &st);
  const auto type = st.st_mode & _S_IFMT;
  const bool regular = type == _S_IFREG;
  const bool directory = type == _S_IFDIR;
#else
  struct stat st {};
  const int status = ::stat(path.c_str(), &st);
  const bool regular = S_ISREG(st.st_mode);
  const bool directory = S_ISDIR(st.st_mode);
#endif
  if (status != 0) {
    return errno == ENOENT || errno == ENOTDIR ? FileKind::kMissing : FileKind::kUnknown;
  }
  if (regular) return FileKind::kRegular;
  if (directory) return FileKind::kDirectory;
  return FileKind::kOther;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsSeparator(folder.back())) return folder + name;
  return folder + kSeparator + name;
}

size_t NameStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i;
  }
  return 0;
}

std::string AbsolutePath(const std::string& path) {
#if defined(_WIN32)
  const std::unique_ptr<char, decltype(&std::free)> full(_fullpath(nullptr, path.c_str(), 0),
                                                         &std::free);
  return full ? std::string(full.get()) : path;
#else
  if (path.empty() || path[0] == '/') return path;
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.string();
#endif
}

std::string NativeToUtf8(const std::string& text) {
#if defined(_WIN32)
  if (text.empty() || text.size() > 0x7FFFFFFF / 4) return text;
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (units <= 0) return text;
  std::wstring wide(static_cast<size_t>(units), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units) != units) return text;
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;
  std::string utf8(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), bytes, nullptr, nullptr) !=
      bytes) {
    return text;
  }
  return utf8;
#else
  return text;
#endif
}

}  // namespace fileio
