// The benchmark image: 64 MiB with 5,000 files, written once to a temporary file.
#ifndef TARNWICK_BENCH_BENCH_IMAGE_H_
#define TARNWICK_BENCH_BENCH_IMAGE_H_

#include <filesystem>
#include <string>

#include "tests/image_builder/image_builder.h"

namespace benchutil {

inline constexpr uint32_t kBenchImageSize = 64u << 20;
inline constexpr uint32_t kBenchFiles = 5000;

// Files of about 12 KiB each, every name directly in front of its data and every file
// touching the next, from 0x10000 on; the header block ends the image at about 60 MiB, so
// the buffer of 64 MiB leaves room for additions.
inline testimg::Bytes BenchImageBytes() {
  constexpr uint32_t kStride = (60u << 20) / kBenchFiles & ~3u;
  constexpr uint32_t kFirst = 0x10000;
  const uint32_t header = kFirst + kStride * kBenchFiles;
  testimg::ImageBuilder b(header + 84 + 28 * kBenchFiles);
  b.HeaderOffset(header);
  // As a real image's header: it lies between the image's first and last address.
  b.HeaderField(8, b.rom_base()).HeaderField(12, b.rom_base() + header + 84 + 28 * kBenchFiles);
  for (uint32_t i = 0; i < kBenchFiles; ++i) {
    testimg::FileSpec f;
    f.name = "file" + std::to_string(10000 + i) + ".dat";  // 13 characters: 16 with padding
    f.name_offset = kFirst + i * kStride;
    f.data_offset = f.name_offset + 16;
    f.data = testimg::Pattern(kStride - 16, static_cast<uint8_t>(i));
    f.attributes = i % 3 == 0 ? 0x801 : 0x1;
    f.time = 127229512230000000ull + i * 10000000ull;
    b.AddFile(std::move(f));
  }
  return b.Build();
}

// Path of the image file, made on first use in the temporary folder.
inline const std::string& BenchImagePath() {
  static const std::string path = [] {
    const auto p = std::filesystem::temp_directory_path() / "tarnwick_bench_5000_files.nb0";
    testimg::WriteFile(p.string(), BenchImageBytes());
    return p.string();
  }();
  return path;
}

}  // namespace benchutil

#endif  // TARNWICK_BENCH_BENCH_IMAGE_H_
