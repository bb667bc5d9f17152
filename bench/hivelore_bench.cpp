// Hivelore on a 16 MiB precompiled registry file and on a 16 MiB hive of realistic keys and
// values, each beside copying the same file with cp.
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "bench/ratio_reporter.h"
#include "tests/hivelore/hive_builder.h"
#include "tests/hivelore/registry_builder.h"
#include "tests/image_builder/image_builder.h"
#include "tools/hivelore/hivelore.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kTargetSize = 16u << 20;

// Keys with a few values of every common type, until the file reaches about 16 MiB.
testreg::Bytes RegistryFile() {
  testreg::RegistryBuilder b;
  uint32_t n = 0;
  while (b.bytes().size() < kTargetSize - 4096) {
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

// The same keys and values as a hive: HKLM\Software\Vendor\Product with one subkey per
// component, until the file reaches about 16 MiB.
testhive::Bytes HiveFile() {
  testhive::HiveBuilder b;
  const uint32_t product = b.Key(b.Key(b.RootKey(2, "Software"), "Vendor"), "Product");
  uint32_t n = 0;
  while (b.FileSize() < kTargetSize - 4096) {
    const std::string id = std::to_string(n++);
    const uint32_t key = b.Key(product, "Component" + id);
    b.Value(key, 1, "Path", testhive::HiveString("\\Windows\\component" + id + ".dll"));
    b.Value(key, 4, "Order", {static_cast<uint8_t>(n), 0, 0, 0});
    b.Value(key, 3, "Blob", testhive::Bytes(24 + n % 40, static_cast<uint8_t>(n)));
    b.Value(key, 7, "List", {'a', 0, 'b', 0, 0, 0, 'c', 0, 'd', 0, 0, 0, 0, 0});
    b.Value(key, 2, "Expand", testhive::HiveString("%windir%"));
  }
  return b.Build();
}

struct Input {
  fs::path dir = fs::temp_directory_path() / "tarnwick_hivelore_bench";
  fs::path path;
  int64_t size = 0;
  Input(const std::string& name, const testreg::Bytes& bytes) : path(dir / name) {
    fs::create_directories(dir);
    testimg::WriteFile(path.string(), bytes);
    size = static_cast<int64_t>(bytes.size());
  }
};

Input& Precompiled() {
  static Input input("default.fdf", RegistryFile());
  return input;
}

Input& Hive() {
  static Input input("default.hv", HiveFile());
  return input;
}

void CopyWithCp(benchmark::State& state, const Input& f, const std::string& group) {
  const std::string command = "cp '" + f.path.string() + "' '" + (f.dir / "copy").string() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  }
  state.SetBytesProcessed(state.iterations() * f.size);
  state.SetLabel("baseline:" + group);
}

void RunHivelore(benchmark::State& state, const Input& f, const std::string& group) {
  const fs::path cwd = fs::current_path();
  fs::current_path(f.dir);
  std::ostringstream out, err;
  for (auto _ : state) {
    if (hivelore::Run({f.path.string()}, out, err) != 0) state.SkipWithError("Hivelore failed");
  }
  fs::current_path(cwd);
  state.SetBytesProcessed(state.iterations() * f.size);
  state.SetLabel("case:" + group);
}

void BM_CopyWithCp(benchmark::State& state) { CopyWithCp(state, Precompiled(), "hivelore"); }
void BM_Hivelore(benchmark::State& state) { RunHivelore(state, Precompiled(), "hivelore"); }
void BM_CopyHiveWithCp(benchmark::State& state) { CopyWithCp(state, Hive(), "hive"); }
void BM_HiveloreHive(benchmark::State& state) { RunHivelore(state, Hive(), "hive"); }

BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Hivelore)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_CopyHiveWithCp)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_HiveloreHive)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

void PrintThroughput(const benchutil::RatioReporter& reporter, const char* what,
                     const std::string& group, const Input& input) {
  const double seconds = reporter.SecondsOf("case", group);
  if (seconds <= 0) return;
  const double mbs = static_cast<double>(input.size) / 1e6 / seconds;
  std::printf("| %s | %.0f MB/s | - | - | - | >= 200 MB/s %s |\n", what, mbs,
              mbs >= 200 ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchutil::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios({{"hivelore", 0}, {"hive", 0}});
  PrintThroughput(reporter, "Hivelore input throughput", "hivelore", Precompiled());
  PrintThroughput(reporter, "Hivelore hive input throughput", "hive", Hive());
  benchmark::Shutdown();
  return 0;
}
