// Tarnwick's decompressed export of compressed files, from images that store them in either
// page coding of the platform.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/image_builder/demo_image.h"
#include "tests/image_builder/rom_compressor.h"
#include "tests/rom/test_files.h"

namespace {

std::string Output(const std::string& command) {
  std::string text;
  std::FILE* p = popen(command.c_str(), "r");
  if (!p) return text;
  char buf[4096];
  size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  pclose(p);
  return text;
}

TEST(TarnwickProgram, ExportsCompressedFilesOfEitherCodingAsTheOriginalBytes) {
  for (codec::PageCoding coding : {codec::PageCoding::kLzx, codec::PageCoding::kLz77}) {
    testimg::TempDir dir;
    std::vector<testimg::Bytes> originals;  // in the order the files lie in the image
    const testimg::Compressor compress = testimg::RomCompressor(coding);
    const std::string image = dir.File("demo.nb0");
    testimg::WriteFile(image, testimg::DemoImage([&](const testimg::Bytes& in) {
                         originals.push_back(in);
                         return compress(in);
                       }));
    ASSERT_GE(originals.size(), 3u);

    // The memory map lists the files by address; "F[C" marks a compressed one.
    const std::string tarnwick = TARNWICK_BINARY;
    const std::string map = Output(tarnwick + " --image " + image + " --map");
    size_t exported = 0;
    for (size_t at = map.find("F[C"); at != std::string::npos; at = map.find("F[C", at + 1)) {
      const size_t line = map.rfind('\n', at) == std::string::npos ? 0 : map.rfind('\n', at) + 1;
      const std::string start = map.substr(line, 8);
      const std::string out = dir.File("out" + std::to_string(exported));
      ASSERT_EQ(std::system((tarnwick + " --image " + image + " --export " + start + " " + out +
                             " 2>/dev/null")
                                .c_str()),
                0)
          << start;
      ASSERT_LT(exported, originals.size());
      EXPECT_EQ(testimg::ReadFile(out), originals[exported]) << start;
      ++exported;
    }
    EXPECT_EQ(exported, originals.size());
  }
}

}  // namespace
