// Regular-file reading and atomic writing on POSIX and Windows file descriptors.
#include "fileio/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "fileio/native_path.h"

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fileio {

namespace {

#if defined(_WIN32)
using StatBuf = struct _stat64;
int Fstat(int fd, StatBuf* st) { return _fstat64(fd, st); }
bool IsRegular(const StatBuf& st) { return (st.st_mode & _S_IFMT) == _S_IFREG; }
int OpenRead(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }
int OpenNew(const char* path) {
  return _open(path, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long long ReadSome(int fd, uint8_t* p, size_t n) {
  return _read(fd, p, static_cast<unsigned>(n > 0x40000000 ? 0x40000000 : n));
}
long long WriteSome(int fd, const uint8_t* p, size_t n) {
  return _write(fd, p, static_cast<unsigned>(n > 0x40000000 ? 0x40000000 : n));
}
int CloseFd(int fd) { return _close(fd); }
int SyncFd(int fd) { return _commit(fd); }
int Unlink(const char* path) { return _unlink(path); }
int ProcessId() { return _getpid(); }
bool ReplaceFile(const std::string& from, const std::string& to) {
  // rename() does not replace an existing file on Windows.
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
int LastRenameError() { return GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO; }
bool Writable(const std::string& path) { return _access(path.c_str(), 2) == 0; }
#else
using StatBuf = struct stat;
int Fstat(int fd, StatBuf* st) { return ::fstat(fd, st); }
bool IsRegular(const StatBuf& st) { return S_ISREG(st.st_mode); }
// Non-blocking, so that opening a FIFO cannot wait for a writer; fstat then refuses it.
int OpenRead(const char* path) { return ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC); }
// 0666 before the umask, as for any new file.
int OpenNew(const char* path) {
  return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
long long ReadSome(int fd, uint8_t* p, size_t n) { return ::read(fd, p, n); }
long long WriteSome(int fd, const uint8_t* p, size_t n) { return ::write(fd, p, n); }
int CloseFd(int fd) { return ::close(fd); }
int SyncFd(int fd) { return ::fsync(fd); }
int Unlink(const char* path) { return ::unlink(path); }
int ProcessId() { return static_cast<int>(::getpid()); }
bool ReplaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
int LastRenameError() { return errno; }
bool Writable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }
#endif

Error SystemError(const std::string& path, int code) {
  return Error{ErrorKind::kSystem, path, code != 0 ? code : EIO, 0};
}

// The file a write to `path` should replace: a symbolic link's target, so that the link stays.
std::string WriteTarget(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(path, ec)) return path;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : resolved.string();
}

}  // namespace

std::string Error::Message() const {
  switch (kind) {
    case ErrorKind::kNotFound:
      return path + ": " + std::strerror(ENOENT);
    case ErrorKind::kNotRegular:
      return path + ": not a regular file";
    case ErrorKind::kTooLarge:
      return path + ": file too large (" + std::to_string(size) + " bytes)";
    case ErrorKind::kSystem:
      break;
  }
  return path + ": " + std::strerror(code != 0 ? code : EIO);
}

InputFile::InputFile(InputFile&& other) noexcept
    : fd_(other.fd_), size_(other.size_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) CloseFd(fd_);
    fd_ = other.fd_;
    size_ = other.size_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

InputFile::~InputFile() {
  if (fd_ >= 0) CloseFd(fd_);
}

std::optional<Error> InputFile::ReadExactly(std::span<uint8_t> out) {
  size_t done = 0;
  while (done < out.size()) {
    const long long got = ReadSome(fd_, out.data() + done, out.size() - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return SystemError(path_, errno);
    }
    if (got == 0) return Error{ErrorKind::kSystem, path_, EIO, 0};  // ended early
    done += static_cast<size_t>(got);
  }
  return std::nullopt;
}

OpenResult OpenForReading(const std::string& path) {
  OpenResult r;
  const FileKind kind = KindOf(path);
  if (kind == FileKind::kMissing) {
    r.error = Error{ErrorKind::kNotFound, path, ENOENT, 0};
    return r;
  }
  if (kind != FileKind::kRegular && kind != FileKind::kUnknown) {
    r.error = Error{ErrorKind::kNotRegular, path, 0, 0};
    return r;
  }
  errno = 0;
  const int fd = OpenRead(path.c_str());
  if (fd < 0) {
    r.error =
        errno == ENOENT ? Error{ErrorKind::kNotFound, path, ENOENT, 0} : SystemError(path, errno);
    return r;
  }
  StatBuf st{};
  if (Fstat(fd, &st) != 0) {
    r.error = SystemError(path, errno);
    CloseFd(fd);
    return r;
  }
  // Checked again on the open file: the name may have been swapped since the first look.
  if (!IsRegular(st)) {
    r.error = Error{ErrorKind::kNotRegular, path, 0, 0};
    CloseFd(fd);
    return r;
  }
#if !defined(_WIN32)
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
#endif
  r.file.fd_ = fd;
  r.file.size_ = static_cast<uint64_t>(st.st_size);
  r.file.path_ = path;
  return r;
}

ReadResult ReadWholeFile(const std::string& path, uint64_t max_size) {
  ReadResult r;
  OpenResult opened = OpenForReading(path);
  if (opened.error) {
    r.error = std::move(opened.error);
    return r;
  }
  if (opened.file.size() > max_size) {
    r.error = Error{ErrorKind::kTooLarge, path, 0, opened.file.size()};
    return r;
  }
  r.bytes.resize(static_cast<size_t>(opened.file.size()));
  if (auto e = opened.file.ReadExactly(r.bytes)) {
    r.bytes.clear();
    r.error = std::move(e);
  }
  return r;
}

AtomicWriter::~AtomicWriter() { Abort(); }

std::optional<Error> AtomicWriter::Open(const std::string& path) {
  Abort();
  target_ = WriteTarget(path);
  mode_.reset();
  std::error_code ec;
  const auto status = std::filesystem::status(target_, ec);
  if (!ec && std::filesystem::exists(status)) {
    if (status.type() == std::filesystem::file_type::directory) {
      return Error{ErrorKind::kSystem, path, EISDIR, 0};
    }
    mode_ = static_cast<uint32_t>(status.permissions()) & 07777u;
    // A rename would replace a file that may not be written; refuse as writing in place would.
    if (!Writable(target_)) return SystemError(path, EACCES);
  }
  const size_t name_start = NameStart(target_);
  const std::string folder = target_.substr(0, name_start);
  const std::string name = target_.substr(name_start);
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = folder + "." + name + "." + std::to_string(ProcessId()) + "." +
            std::to_string(counter++) + ".tmp";
    errno = 0;
    fd_ = OpenNew(temp_.c_str());
    if (fd_ >= 0) return std::nullopt;
    if (errno != EEXIST) break;
  }
  const int code = errno;
  temp_.clear();
  return SystemError(path, code);
}

std::optional<Error> AtomicWriter::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) return SystemError(target_, EBADF);
  size_t done = 0;
  while (done < bytes.size()) {
    const long long put = WriteSome(fd_, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      const int code = put < 0 ? errno : ENOSPC;
      Abort();
      return SystemError(target_, code);
    }
    done += static_cast<size_t>(put);
  }
  return std::nullopt;
}

std::optional<Error> AtomicWriter::Write(std::string_view text) {
  return Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::optional<Error> AtomicWriter::Commit() {
  if (fd_ < 0) return SystemError(target_, EBADF);
  if (SyncFd(fd_) != 0) {
    const int code = errno;
    Abort();
    return SystemError(target_, code);
  }
#if !defined(_WIN32)
  if (mode_ && ::fchmod(fd_, static_cast<mode_t>(*mode_)) != 0) {
    const int code = errno;
    Abort();
    return SystemError(target_, code);
  }
#endif
  const int fd = fd_;
  fd_ = -1;
  if (CloseFd(fd) != 0) {
    const int code = errno;
    Unlink(temp_.c_str());
    temp_.clear();
    return SystemError(target_, code);
  }
  if (!ReplaceFile(temp_, target_)) {
    const int code = LastRenameError();
    Unlink(temp_.c_str());
    temp_.clear();
    return SystemError(target_, code);
  }
  temp_.clear();
  return std::nullopt;
}

void AtomicWriter::Abort() {
  if (fd_ >= 0) {
    CloseFd(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    Unlink(temp_.c_str());
    temp_.clear();
  }
}

std::optional<Error> WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
  AtomicWriter writer;
  if (auto e = writer.Open(path)) return e;
  if (auto e = writer.Write(bytes)) return e;
  return writer.Commit();
}

}  // namespace fileio
