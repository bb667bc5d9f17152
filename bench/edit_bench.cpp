// Delete, add and replace, each with its re-analysis, on a 64 MiB image with 5,000 files,
// beside one memmove of the whole buffer.
#include <cstring>
#include <filesystem>
#include <memory>

#include "bench/bench_image.h"
#include "bench/ratio_reporter.h"
#include "fileio/file_io.h"
#include "rom/add_replace.h"
#include "rom/listing/analysis.h"
#include "rom/delete.h"
#include "rom/rom_image.h"
#include "rom/listing/row_actions.h"

namespace {

// The loaded benchmark image and a pristine copy to restore it between iterations.
struct Loaded {
  rom::RomImage image;
  rom::RomLists lists;
  std::unique_ptr<uint8_t[]> pristine;
  int32_t length = 0;

  Loaded() {
    if (!rom::LoadImage(image, benchutil::BenchImagePath(), rom::FlashChoice::k64MB, 0).ok())
      return;
    pristine.reset(new uint8_t[static_cast<size_t>(image.BufferSize())]);
    std::memcpy(pristine.get(), image.Buffer().data(), static_cast<size_t>(image.BufferSize()));
    length = image.ImageLength();
    rom::AnalyseImage(image, lists);
  }
  void Restore() {
    std::memcpy(image.MutableBuffer().data(), pristine.get(),
                static_cast<size_t>(image.BufferSize()));
    image.SetImageLength(length);
    rom::AnalyseImage(image, lists);
  }
  int64_t LineOfFile(int n) const {
    int seen = 0;
    for (size_t i = 0; i < lists.MemoryMap.size(); ++i) {
      if (lists.MemoryMap[i].kind == rom::StretchKind::kFileData && seen++ == n) {
        return static_cast<int64_t>(i);
      }
    }
    return -1;
  }
};

Loaded& Image() {
  static Loaded loaded;
  return loaded;
}

const std::string& PickedFile() {
  static const std::string path = [] {
    const auto p = std::filesystem::temp_directory_path() / "tarnwick_bench_pick.bin";
    testimg::WriteFile(p.string(), testimg::Pattern(20000, 9));
    return p.string();
  }();
  return path;
}

void BM_Memmove64MiB(benchmark::State& state) {
  Loaded& l = Image();
  for (auto _ : state) {
    const std::span<uint8_t> b = l.image.MutableBuffer();
    std::memmove(b.data(), b.data() + 16, b.size() - 16);
    benchmark::ClobberMemory();
  }
  l.Restore();
  state.SetLabel("baseline:edit");
}

template <typename Action>
void RunEdit(benchmark::State& state, Action action) {
  Loaded& l = Image();
  for (auto _ : state) {
    state.PauseTiming();
    l.Restore();
    state.ResumeTiming();
    if (!action(l)) {
      state.SkipWithError("the action failed");
      break;
    }
  }
  l.Restore();
  state.SetLabel("case:edit");
}

// Each action as the window runs it: the picked file is read, the image changed and analysed.
bool Reanalysed(Loaded& l, bool ok) {
  if (ok) rom::AnalyseImage(l.image, l.lists);
  return ok;
}

void BM_DeleteFile(benchmark::State& state) {
  RunEdit(state, [](Loaded& l) {
    const uint32_t entry = *l.lists.MapRowAt(l.LineOfFile(2500))->entry;
    return Reanalysed(l, rom::DeleteFile(l.image, entry, 0).ok());
  });
}

void BM_AddFile(benchmark::State& state) {
  RunEdit(state, [](Loaded& l) {
    const fileio::ReadResult picked = fileio::ReadWholeFile(PickedFile(), 1u << 30);
    return Reanalysed(l, rom::AddFile(l.image, "pick.bin", picked.bytes, 0).ok());
  });
}

void BM_ReplaceFile(benchmark::State& state) {
  RunEdit(state, [](Loaded& l) {
    const fileio::ReadResult picked = fileio::ReadWholeFile(PickedFile(), 1u << 30);
    const auto plan = rom::PlanReplace(l.lists, l.LineOfFile(2500));
    return plan && Reanalysed(l, rom::ReplaceFile(l.image, *plan, picked.bytes, 0).ok());
  });
}

BENCHMARK(BM_Memmove64MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchutil::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios({{"edit", 3.0}});
  benchmark::Shutdown();
  return 0;
}
