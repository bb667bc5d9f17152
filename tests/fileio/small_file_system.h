// A small tmpfs mounted for a test, to see what the programs do on a full or read-only disk.
#ifndef TARNWICK_TESTS_FILEIO_SMALL_FILE_SYSTEM_H_
#define TARNWICK_TESTS_FILEIO_SMALL_FILE_SYSTEM_H_

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/rom/test_files.h"

namespace testfs {

namespace fs = std::filesystem;

// A small tmpfs of `kib` KiB mounted on a fresh folder, when the test runs as root.
class SmallFileSystem {
 public:
  SmallFileSystem(const testimg::TempDir& dir, int kib, bool read_only = false)
      : path_(dir.File("mnt")) {
    fs::create_directories(path_);
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
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(path_)) ++n;
    return n;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace testfs

#endif  // TARNWICK_TESTS_FILEIO_SMALL_FILE_SYSTEM_H_
