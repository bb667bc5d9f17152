// Hivelore on a 16 MiB registry file of realistic records, beside copying the file with cp.
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "bench/ratio_reporter.h"
#include "tests/hivelore/registry_builder.h"
#include "tests/image_builder/image_builder.h"
#include "tools/hivelore/hivelore.h"

namespace {

namespace fs = std::filesystem;

// Keys with a few values of every common type, until the file reaches about 16 MiB.
testreg::Bytes RegistryFile() {
  testreg::RegistryBuilder b;
  uint32_t n = 0;
  while (b.bytes().size() < (16u << 20) - 4096) {
    const std::string id = std::to_string(n++);
    b.Key(2, "Software\\Vendor\\Product\\Component" + id);
    b.Value(1, "Path", testreg::StringData("\\Windows\\component" + id + ".dll"));
    b.Value(4, "Order", {static_cast<uint8_t>(n), 0, 0, 0});
    b.Value(3, "Blob", testreg::Bytes(24 + n % 40, static_cast<uint8_t>(n)));
    b.Value(7, "List", testreg::Units({'a', 'b', 0, 'c', 'd', 0, 0}));
    b.Value(2, "Expand", {});
  }
  return b.bytes();
}

struct Files {
  fs::path dir = fs::temp_directory_path() / "tarnwick_hivelore_bench";
  fs::path input = dir / "default.fdf";
  int64_t size = 0;
  Files() {
    fs::create_directories(dir);
    const testreg::Bytes bytes = RegistryFile();
    testimg::WriteFile(input.string(), bytes);
    size = static_cast<int64_t>(bytes.size());
  }
};

Files& Input() {
  static Files files;
  return files;
}

void BM_CopyWithCp(benchmark::State& state) {
  Files& f = Input();
  const std::string command =
      "cp '" + f.input.string() + "' '" + (f.dir / "copy.fdf").string() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(state.iterations() * f.size);
  state.SetLabel("baseline:hivelore");
}

void BM_Hivelore(benchmark::State& state) {
  Files& f = Input();
  const fs::path cwd = fs::current_path();
  fs::current_path(f.dir);
  std::ostringstream out, err;
  for (auto _ : state) {
    if (hivelore::Run({f.input.string()}, out, err) != 0) state.SkipWithError("Hivelore failed");
  }
  fs::current_path(cwd);
  state.SetBytesProcessed(state.iterations() * f.size);
  state.SetLabel("case:hivelore");
}

BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Hivelore)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchutil::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios({{"hivelore", 0}});
  const double seconds = reporter.SecondsOf("case", "hivelore");
  if (seconds > 0) {
    const double mbs = static_cast<double>(Input().size) / 1e6 / seconds;
    std::printf("| Hivelore input throughput | %.0f MB/s | - | - | - | >= 200 MB/s %s |\n", mbs,
                mbs >= 200 ? "met" : "MISSED");
  }
  benchmark::Shutdown();
  return 0;
}
