// Test helpers for file-system failures: a small tmpfs for full and read-only file systems
// (mounted only when run as root), and a run with a time limit for inputs that could block.
#ifndef TARNWICK_TESTS_FILEIO_SMALL_FILE_SYSTEM_H_
#define TARNWICK_TESTS_FILEIO_SMALL_FILE_SYSTEM_H_

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/rom/test_files.h"

namespace testfs {

// Runs `fn` in a child process; its return value as exit status, -2 for a child that did not
// exit normally, or -1 when it has not ended after `seconds` (it is then killed), so that a
// blocking read fails the test instead of hanging it.
inline int StatusWithin(int seconds, const std::function<int()>& fn) {
  const pid_t pid = fork();
  if (pid == 0) _exit(fn());
  for (int i = 0; i < seconds * 20; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
    usleep(50000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

// A small tmpfs of `kib` KiB mounted on a fresh folder, when the test runs as root.
class SmallFileSystem {
 public:
  SmallFileSystem(const testimg::TempDir& dir, int kib, bool read_only = false)
      : path_(dir.File("mnt")) {
    std::filesystem::create_directories(path_);
    const std::string options = "size=" + std::to_string(kib) + "k";
    mounted_ = geteuid() == 0 && mount("tmpfs", path_.c_str(), "tmpfs", read_only ? MS_RDONLY : 0,
                                       options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) umount(path_.c_str());
  }
  void Remount(bool read_only) {
    mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | (read_only ? MS_RDONLY : 0), nullptr);
  }
  [[nodiscard]] bool mounted() const { return mounted_; }
  [[nodiscard]] std::string File(const std::string& name) const { return path_ + "/" + name; }
  [[nodiscard]] size_t Entries() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(path_)) ++n;
    return n;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace testfs

#endif  // TARNWICK_TESTS_FILEIO_SMALL_FILE_SYSTEM_H_
