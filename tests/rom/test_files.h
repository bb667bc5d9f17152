// Temporary files and folders for tests that go through the file system.
#ifndef TARNWICK_TESTS_ROM_TEST_FILES_H_
#define TARNWICK_TESTS_ROM_TEST_FILES_H_

#include <filesystem>
#include <random>
#include <string>

namespace testimg {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("tarnwick_test_" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  [[nodiscard]] std::string File(const std::string& name) const { return (path_ / name).string(); }
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace testimg

#endif  // TARNWICK_TESTS_ROM_TEST_FILES_H_
