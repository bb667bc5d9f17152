// Regular-file reading and atomic writing, against real file-system failures.
#include "fileio/file_io.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "tests/fileio/small_file_system.h"
#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"

namespace {

namespace fs = std::filesystem;
using testfs::SmallFileSystem;
using testimg::Bytes;

// Runs `fn` in a child process; false when it has not ended after `seconds` (it is killed),
// so that a read that blocks fails the test instead of hanging it.
bool EndsWithin(int seconds, const std::function<void()>& fn) {
  const pid_t pid = fork();
  if (pid == 0) {
    fn();
    _exit(0);
  }
  for (int i = 0; i < seconds * 20; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return true;
    usleep(50000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return false;
}

TEST(ReadWholeFile, RefusesWhatIsNotARegularFile) {
  testimg::TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path().string()}) {
    fileio::ReadResult r;
    EXPECT_TRUE(EndsWithin(5, [&] { r = fileio::ReadWholeFile(path, 1 << 20); })) << path;
    r = fileio::ReadWholeFile(path, 1 << 20);
    ASSERT_TRUE(r.error) << path;
    EXPECT_EQ(r.error->kind, fileio::ErrorKind::kNotRegular) << path;
    EXPECT_EQ(r.error->Message(), path + ": not a regular file");
  }
}

TEST(ReadWholeFile, ReadsAFileAndRefusesMissingAndTooLarge) {
  testimg::TempDir dir;
  testimg::WriteFile(dir.File("a"), {1, 2, 3});
  EXPECT_EQ(fileio::ReadWholeFile(dir.File("a"), 3).bytes, (Bytes{1, 2, 3}));
  const auto large = fileio::ReadWholeFile(dir.File("a"), 2);
  ASSERT_TRUE(large.error);
  EXPECT_EQ(large.error->kind, fileio::ErrorKind::kTooLarge);
  const auto missing = fileio::ReadWholeFile(dir.File("b"), 2);
  ASSERT_TRUE(missing.error);
  EXPECT_EQ(missing.error->kind, fileio::ErrorKind::kNotFound);
}

TEST(WriteFileAtomically, ReplacesTheTargetAndKeepsItsPermissions) {
  testimg::TempDir dir;
  const std::string target = dir.File("out.bin");
  testimg::WriteFile(target, {9, 9, 9, 9});
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_FALSE(fileio::WriteFileAtomically(target, Bytes{1, 2}));
  EXPECT_EQ(testimg::ReadFile(target), (Bytes{1, 2}));
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(WriteFileAtomically, WritesThroughASymbolicLink) {
  testimg::TempDir dir;
  testimg::WriteFile(dir.File("real"), {1});
  fs::create_symlink(dir.File("real"), dir.File("link"));
  ASSERT_FALSE(fileio::WriteFileAtomically(dir.File("link"), Bytes{7, 7}));
  EXPECT_TRUE(fs::is_symlink(dir.File("link")));
  EXPECT_EQ(testimg::ReadFile(dir.File("real")), (Bytes{7, 7}));
}

TEST(WriteFileAtomically, AFolderAsTargetIsAnErrorAndStaysAFolder) {
  testimg::TempDir dir;
  fs::create_directories(dir.File("sub"));
  const auto e = fileio::WriteFileAtomically(dir.File("sub"), Bytes{1});
  ASSERT_TRUE(e);
  EXPECT_NE(e->Message().find("sub"), std::string::npos);
  EXPECT_TRUE(fs::is_directory(dir.File("sub")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(WriteFileAtomically, AFullFileSystemKeepsTheOldFileAndLeavesNoTemporaryFile) {
  testimg::TempDir dir;
  SmallFileSystem small(dir, 64);
  if (!small.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const std::string target = small.File("image.nb0");
  const Bytes old = testimg::Pattern(10000, 3);
  testimg::WriteFile(target, old);
  const auto e = fileio::WriteFileAtomically(target, testimg::Pattern(200000, 5));
  ASSERT_TRUE(e);
  EXPECT_EQ(e->code, ENOSPC);
  EXPECT_EQ(testimg::ReadFile(target), old);
  EXPECT_EQ(small.Entries(), 1u);
}

TEST(WriteFileAtomically, AReadOnlyFileSystemOrFileKeepsTheOldFile) {
  testimg::TempDir dir;
  SmallFileSystem small(dir, 64);
  if (!small.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root";
  const std::string target = small.File("keep");
  testimg::WriteFile(target, {4, 5, 6});
  small.Remount(true);
  ASSERT_TRUE(fileio::WriteFileAtomically(target, Bytes{1}));
  small.Remount(false);
  EXPECT_EQ(testimg::ReadFile(target), (Bytes{4, 5, 6}));
  EXPECT_EQ(small.Entries(), 1u);
}

TEST(AtomicWriter, AnUncommittedWriteLeavesTheTargetAlone) {
  testimg::TempDir dir;
  const std::string target = dir.File("t");
  testimg::WriteFile(target, {1, 2, 3});
  {
    fileio::AtomicWriter w;
    ASSERT_FALSE(w.Open(target));
    ASSERT_FALSE(w.Write(std::string_view("partial")));
  }
  EXPECT_EQ(testimg::ReadFile(target), (Bytes{1, 2, 3}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
