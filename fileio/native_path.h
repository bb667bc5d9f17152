// File names as the system's narrow file functions take them: what is there, joining, completing,
// and reading them as UTF-8.
//
// A name is a byte string in the system's own narrow encoding: UTF-8 on Linux, the Windows code
// page on Windows, where the image's Windows-1252 names go to the file system unchanged.
// std::filesystem::path does not carry such names through on Windows (MinGW's path reads a
// narrow name byte by byte and gives it back as UTF-8), so that a name with a character above
// 0x7F, "€uro.dat" say, was not found or came out under another name. The programs look at,
// join and complete names through these functions instead.
#ifndef TARNWICK_FILEIO_NATIVE_PATH_H_
#define TARNWICK_FILEIO_NATIVE_PATH_H_

#include <cstddef>
#include <string>

namespace fileio {

enum class FileKind {
  kMissing,    // no such name
  kRegular,    // a regular file (or a symbolic link to one)
  kDirectory,  // a folder
  kOther,      // a FIFO, a device ...
  kUnknown,    // the system could not say (no permission on the way, say)
};

// What is at `path`, symbolic links followed.
[[nodiscard]] FileKind KindOf(const std::string& path);

// `name` in `folder`; `name` alone when `folder` is empty. Bytes are kept as given.
[[nodiscard]] std::string JoinPath(const std::string& folder, const std::string& name);

// Where the last part of `path`, its file name, begins: just after the last separator, 0 when
// there is none. The part in front of it is the folder, separator included.
[[nodiscard]] size_t NameStart(const std::string& path);

// `path` made absolute against the current folder; unchanged when it is absolute already or the
// current folder cannot be had.
[[nodiscard]] std::string AbsolutePath(const std::string& path);

// Text from the command line or a file name as UTF-8: unchanged on Linux; on Windows, where
// both come in the Windows code page, converted from it (unchanged when that fails).
[[nodiscard]] std::string NativeToUtf8(const std::string& text);

}  // namespace fileio

#endif  // TARNWICK_FILEIO_NATIVE_PATH_H_
