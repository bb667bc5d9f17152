// The benchmark image: 64 MiB with 5,000 files, written once to a temporary file.
#ifndef TARNWICK_BENCH_BENCH_IMAGE_H_
#define TARNWICK_BENCH_BENCH_IMAGE_H_

#include <filesystem>
#include <string>

#include "tests/image_builder/image_builder.h"

namespace benchutil {

inline constexpr uint32_t kBenchImageSize = 64u << 20;
inline constexpr uint32_t kBenchFiles = 5000;

// Files of about 12 KiB each with names in front of their data from 0x10000 on; the header
// block ends the image's used part; the rest up to 64 MiB is zero.
inline testimg::Bytes BenchImageBytes() {
  testimg::ImageBuilder b(kBenchImageSize);
  uint32_t at = 0x10000;
  const uint32_t stride = (kBenchImageSize - 0x20000 - 0x40000) / kBenchFiles & ~3u;
  for (uint32_t i = 0; i < kBenchFiles; ++i) {
    testimg::FileSpec f;
    f.name = "file" + std::to_string(i) + ".dat";
    f.name_offset = at;
    f.data_offset = at + ((static_cast<uint32_t>(f.name.size()) + 4) & ~3u);
    f.data = testimg::Pattern(stride - 64, static_cast<uint8_t>(i));
    f.attributes = i % 3 == 0 ? 0x801 : 0x1;
    f.time = 127229512230000000ull + i * 10000000ull;
    b.AddFile(std::move(f));
    at += stride;
  }
  b.HeaderOffset((at + 3) & ~3u);
  return b.Build();
}

// Path of the image file, made on first use in the temporary folder.
inline const std::string& BenchImagePath() {
  static const std::string path = [] {
    const auto p = std::filesystem::temp_directory_path() / "tarnwick_bench_64m.nb0";
    testimg::WriteFile(p.string(), BenchImageBytes());
    return p.string();
  }();
  return path;
}

}  // namespace benchutil

#endif  // TARNWICK_BENCH_BENCH_IMAGE_H_
