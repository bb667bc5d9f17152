// Load plus analysis of an image of 5,000 files in a 64 MiB buffer, beside reading the file
// alone.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "bench/bench_image.h"
#include "bench/ratio_reporter.h"
#include "rom/listing/analysis.h"
#include "rom/image_open.h"
#include "rom/rom_image.h"

namespace {

void BM_PlainRead(benchmark::State& state) {
  const std::string& path = benchutil::BenchImagePath();
  const auto size = static_cast<size_t>(std::filesystem::file_size(path));
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::unique_ptr<uint8_t[]> buf(new uint8_t[size]);
    const size_t got = std::fread(buf.get(), 1, size, f);
    std::fclose(f);
    benchmark::DoNotOptimize(buf.get());
    if (got != size) state.SkipWithError("short read");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
  state.SetLabel("baseline:load");
}

void BM_LoadAndAnalyse(benchmark::State& state) {
  const std::string& path = benchutil::BenchImagePath();
  rom::RomImage image;
  rom::RomLists lists;
  for (auto _ : state) {
    if (!rom::OpenImage(image, path, rom::FlashChoice::k64MB, 0).ok()) {
      state.SkipWithError("load failed");
      break;
    }
    rom::AnalyseImage(image, lists);
    benchmark::DoNotOptimize(lists.MemoryMap.data());
  }
  if (lists.MemoryMap.size() < 2 * benchutil::kBenchFiles) state.SkipWithError("files missing");
  state.SetBytesProcessed(state.iterations() * int64_t{benchutil::kBenchImageSize});
  state.SetLabel("case:load");
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LoadAndAnalyse)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchutil::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios({{"load", 2.0}});
  benchmark::Shutdown();
  return 0;
}
