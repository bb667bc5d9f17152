// Loading a 32 MiB image from a record file of 10,000 records, beside loading it flat.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/ratio_reporter.h"
#include "rom/bin_image.h"
#include "rom/rom_image.h"
#include "tests/image_builder/bin_file.h"
#include "tests/image_builder/image_builder.h"

namespace {

constexpr uint32_t kImageSize = 32u << 20;
constexpr uint32_t kRecords = 10000;

struct BenchFiles {
  std::string flat;
  std::string bin;
};

// Records of 2.8 to 3.9 KiB (jittered boundaries, 4-aligned) covering the whole image, every
// seventh pair written out of order, as an image builder's sections come.
const BenchFiles& Files() {
  static const BenchFiles files = [] {
    const testimg::Bytes image = testimg::Pattern(kImageSize, 0x3C);
    std::vector<uint32_t> bounds = {0};
    uint32_t seed = 12345;
    for (uint32_t i = 1; i < kRecords; ++i) {
      seed = seed * 1103515245u + 12345u;
      const uint32_t jitter = (seed >> 16) % 1024;
      bounds.push_back((static_cast<uint32_t>(uint64_t{i} * kImageSize / kRecords) - 512 + jitter) &
                       ~3u);
    }
    bounds.push_back(kImageSize);
    std::vector<testimg::RecordCut> cuts;
    for (uint32_t i = 0; i < kRecords; ++i) cuts.push_back({bounds[i], bounds[i + 1] - bounds[i]});
    for (uint32_t i = 0; i + 1 < kRecords; i += 7) std::swap(cuts[i], cuts[i + 1]);

    const auto dir = std::filesystem::temp_directory_path();
    BenchFiles f{(dir / "tarnwick_bench_bin_flat.nb0").string(),
                 (dir / "tarnwick_bench_bin_records.bin").string()};
    testimg::WriteFile(f.flat, image);
    testimg::WriteFile(f.bin, testimg::BinFile(image, 0x80000000, 0x80001000, cuts));
    return f;
  }();
  return files;
}

void BM_LoadFlat(benchmark::State& state) {
  const std::string& path = Files().flat;
  rom::RomImage image;
  for (auto _ : state) {
    if (!rom::LoadImage(image, path, rom::FlashChoice::k32MB, 0).ok()) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(image.Buffer().data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kImageSize});
  state.SetLabel("baseline:bin");
}

void BM_LoadRecords(benchmark::State& state) {
  const std::string& path = Files().bin;
  rom::RomImage image;
  for (auto _ : state) {
    const auto r = rom::LoadBinImage(image, path, rom::FlashChoice::k32MB, 0);
    if (!r || r->records->records.size() != kRecords) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(image.Buffer().data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kImageSize});
  state.SetLabel("case:bin");
}

BENCHMARK(BM_LoadFlat)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LoadRecords)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchutil::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios({{"bin", 1.5}});
  benchmark::Shutdown();
  return 0;
}
