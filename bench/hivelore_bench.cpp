// Hivelore on a 16 MiB precompiled registry file and on a 16 MiB hive of realistic keys and
// values, and Hivelore --compile on the text of each, every case beside copying its input file
// with cp.
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/ratio_reporter.h"
#include "tests/hivelore/hive_builder.h"
#include "tests/hivelore/registry_builder.h"
#include "tests/image_builder/image_builder.h"
#include "tools/hivelore/hive_reader.h"
#include "tools/hivelore/hivelore.h"
#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/registry_image.h"
#include "tools/hivelore/text_output.h"

namespace {

namespace fs = std::filesystem;

constexpr uint64_t kTargetSize = 16u << 20;

// Keys with a few values of every common type, until the file reaches about 16 MiB. The text of
// a REG_EXPAND_SZ value is a marker line that --compile refuses (its data is not in the text),
// so the files compiled hold a second string in its place (`compilable`).
testreg::Bytes RegistryFile(bool compilable) {
  testreg::RegistryBuilder b;
  uint32_t n = 0;
  while (b.bytes().size() < kTargetSize - 4096) {
    const std::string id = std::to_string(n++);
    b.Key(2, "Software\\Vendor\\Product\\Component" + id);
    b.Value(1, "Path", testreg::StringData("\\Windows\\component" + id + ".dll"));
    b.Value(4, "Order", {static_cast<uint8_t>(n), 0, 0, 0});
    b.Value(3, "Blob", testreg::Bytes(24 + n % 40, static_cast<uint8_t>(n)));
    b.Value(7, "List", testreg::Units({'a', 'b', 0, 'c', 'd', 0, 0}));
    if (compilable) {
      b.Value(1, "Expand", testreg::StringData("%windir%"));
    } else {
      b.Value(2, "Expand", {});
    }
  }
  return b.bytes();
}

// The same keys and values as a hive: HKLM\Software\Vendor\Product with one subkey per
// component, until the file reaches about 16 MiB.
testhive::Bytes HiveFile(bool compilable) {
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
    b.Value(key, compilable ? 1 : 2, "Expand", testhive::HiveString("%windir%"));
  }
  return b.Build();
}

struct Input {
  fs::path dir = fs::temp_directory_path() / "tarnwick_hivelore_bench";
  fs::path path;
  testreg::Bytes bytes;
  int64_t size = 0;
  Input(const std::string& name, testreg::Bytes file) : path(dir / name), bytes(std::move(file)) {
    fs::create_directories(dir);
    testimg::WriteFile(path.string(), bytes);
    size = static_cast<int64_t>(bytes.size());
  }
};

// Takes the text and keeps nothing.
class DiscardSink : public hivelore::ChunkSink {
 public:
  bool Write(std::string_view) override { return true; }
};

Input& Precompiled() {
  static Input input("default.fdf", RegistryFile(false));
  return input;
}

Input& Hive() {
  static Input input("default.hv", HiveFile(false));
  return input;
}

Input& CompilablePrecompiled() {
  static Input input("compilable.fdf", RegistryFile(true));
  return input;
}

Input& CompilableHive() {
  static Input input("compilable.hv", HiveFile(true));
  return input;
}

// The REGEDIT4 text of a registry file.
testreg::Bytes TextOf(const testreg::Bytes& file) {
  std::string text;
  hivelore::StringSink sink(text);
  hivelore::TextOutput output(sink, hivelore::kMaxOutputSize);
  hivelore::Regedit4Writer writer(output);
  writer.WriteHeader();
  hivelore::RegistryImage image;
  image.LoadBytes(file);
  if (image.CheckSignature()) {
    image.ReadU32();
    image.WalkRecords(writer);
  } else if (hivelore::WalkHive(image.bytes(), writer)) {
    std::abort();
  }
  if (!output.Finish()) std::abort();
  return testreg::Bytes(text.begin(), text.end());
}

Input& PrecompiledText() {
  static Input input("compilable.fdf.reg", TextOf(CompilablePrecompiled().bytes));
  return input;
}

Input& HiveText() {
  static Input input("compilable.hv.reg", TextOf(CompilableHive().bytes));
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

// Compiles `text` --like `like` into a file beside them.
void RunCompile(benchmark::State& state, const Input& text, const Input& like,
                const std::string& group) {
  const std::vector<std::string> args = {"--compile", text.path.string(),
                                         (text.dir / "compiled").string(), "--like",
                                         like.path.string()};
  std::ostringstream out, err;
  for (auto _ : state) {
    if (hivelore::Run(args, out, err) != 0) state.SkipWithError("Hivelore --compile failed");
  }
  state.SetBytesProcessed(state.iterations() * text.size);
  state.SetLabel("case:" + group);
}

// The conversion alone, from a copy of the file in memory to text that is dropped: what the
// program costs without reading and writing files.
void ConvertInMemory(benchmark::State& state, const Input& f, const std::string& group) {
  for (auto _ : state) {
    DiscardSink sink;
    hivelore::TextOutput text(sink, hivelore::kMaxOutputSize);
    hivelore::Regedit4Writer writer(text);
    writer.WriteHeader();
    hivelore::RegistryImage image;
    image.LoadBytes(f.bytes);
    if (image.CheckSignature()) {
      image.ReadU32();
      image.WalkRecords(writer);
    } else if (hivelore::WalkHive(image.bytes(), writer)) {
      state.SkipWithError("hive refused");
    }
    if (!text.Finish()) state.SkipWithError("text too large");
  }
  state.SetBytesProcessed(state.iterations() * f.size);
  state.SetLabel("case:" + group);
}

void BM_CopyWithCp(benchmark::State& state) { CopyWithCp(state, Precompiled(), "hivelore"); }
void BM_Hivelore(benchmark::State& state) { RunHivelore(state, Precompiled(), "hivelore"); }
void BM_CopyHiveWithCp(benchmark::State& state) { CopyWithCp(state, Hive(), "hive"); }
void BM_HiveloreHive(benchmark::State& state) { RunHivelore(state, Hive(), "hive"); }
void BM_ConvertInMemory(benchmark::State& state) {
  ConvertInMemory(state, Precompiled(), "memory");
}
void BM_ConvertHiveInMemory(benchmark::State& state) {
  ConvertInMemory(state, Hive(), "hive-memory");
}

void BM_CopyTextWithCp(benchmark::State& state) { CopyWithCp(state, PrecompiledText(), "compile"); }
void BM_Compile(benchmark::State& state) {
  RunCompile(state, PrecompiledText(), CompilablePrecompiled(), "compile");
}
void BM_CopyHiveTextWithCp(benchmark::State& state) {
  CopyWithCp(state, HiveText(), "compile-hive");
}
void BM_CompileHive(benchmark::State& state) {
  RunCompile(state, HiveText(), CompilableHive(), "compile-hive");
}

BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Hivelore)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_CopyHiveWithCp)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_HiveloreHive)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_ConvertInMemory)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_ConvertHiveInMemory)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_CopyTextWithCp)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_Compile)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_CopyHiveTextWithCp)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_CompileHive)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// One table row; `target` false for a figure that has no target of its own.
void PrintThroughput(const benchutil::RatioReporter& reporter, const char* what,
                     const std::string& group, const Input& input, bool target = true) {
  const double seconds = reporter.SecondsOf("case", group);
  if (seconds <= 0) return;
  const double mbs = static_cast<double>(input.size) / 1e6 / seconds;
  const std::string verdict =
      target ? std::string(">= 200 MB/s ") + (mbs >= 200 ? "met" : "MISSED") : "-";
  std::printf("| %s | %.0f MB/s | - | - | - | %s |\n", what, mbs, verdict.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchutil::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios({{"hivelore", 0}, {"hive", 0}, {"compile", 0}, {"compile-hive", 0}});
  PrintThroughput(reporter, "Hivelore input throughput", "hivelore", Precompiled());
  PrintThroughput(reporter, "Hivelore hive input throughput", "hive", Hive());
  PrintThroughput(reporter, "conversion in memory, no file I/O", "memory", Precompiled(), false);
  PrintThroughput(reporter, "hive conversion in memory, no file I/O", "hive-memory", Hive(), false);
  PrintThroughput(reporter, "Hivelore --compile input throughput", "compile", PrecompiledText());
  PrintThroughput(reporter, "Hivelore --compile hive input throughput", "compile-hive", HiveText());
  benchmark::Shutdown();
  return 0;
}
