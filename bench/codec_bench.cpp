// The built-in codec beside zlib (levels 1 and 6): compression and decompression throughput and
// compressed size, on a text corpus and on the real images when they are present.
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "compress/lz_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Text: the C++ library's headers of this machine (source text as firmware trees hold it),
// about 4 MB; a generated word list where they are missing.
Bytes TextCorpus() {
  Bytes text;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/usr/include/c++/12/bits", ec)) {
    if (text.size() > (4u << 20)) break;
    const Bytes b = ReadAll(e.path());
    text.insert(text.end(), b.begin(), b.end());
  }
  for (uint32_t i = 0; text.size() < (1u << 20); ++i) {
    const std::string line = "entry " + std::to_string(i * 7919 % 1000) + " of the table\r\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  return text;
}

struct Corpus {
  std::string name;
  Bytes data;
};

std::vector<Corpus> Corpora() {
  std::vector<Corpus> c = {{"text", TextCorpus()}};
  const std::filesystem::path real = TARNWICK_REALDATA;
  for (const char* f : {"6410_EBOOT.nb0", "6410_IROM_EBOOT_SDFUSER.nb0"}) {
    if (std::filesystem::exists(real / f)) c.push_back({f, ReadAll(real / f)});
  }
  return c;
}

struct Codec {
  std::string name;
  // Returns the compressed size; 0 on failure.
  std::function<size_t(const Bytes&, Bytes&)> compress;
  std::function<size_t(const Bytes&, size_t, Bytes&)> decompress;
};

Codec Builtin(codec::Format f, const char* name) {
  return {
      name,
      [f](const Bytes& in, Bytes& out) {
        out.resize(codec::MaxCompressedSize(in.size()));
        return static_cast<size_t>(codec::Compress(f, in.data(), static_cast<uint32_t>(in.size()),
                                                   out.data(), static_cast<uint32_t>(out.size())));
      },
      [f](const Bytes& packed, size_t n, Bytes& out) {
        return static_cast<size_t>(codec::Decompress(f, packed.data(), static_cast<uint32_t>(n),
                                                     out.data(),
                                                     static_cast<uint32_t>(out.size())));
      }};
}

Codec Zlib(int level) {
  return {"zlib-" + std::to_string(level),
          [level](const Bytes& in, Bytes& out) {
            uLongf n = compressBound(in.size());
            out.resize(n);
            return compress2(out.data(), &n, in.data(), in.size(), level) == Z_OK
                       ? static_cast<size_t>(n)
                       : 0;
          },
          [](const Bytes& packed, size_t n, Bytes& out) {
            uLongf got = out.size();
            return uncompress(out.data(), &got, packed.data(), n) == Z_OK ? static_cast<size_t>(got)
                                                                          : 0;
          }};
}

std::map<std::string, size_t> g_sizes;  // "codec/corpus" -> compressed size

void Register(const Corpus& corpus, const Codec& c) {
  const std::string key = c.name + "/" + corpus.name;
  benchmark::RegisterBenchmark(
      ("compress/" + key).c_str(),
      [corpus, c, key](benchmark::State& s) {
        Bytes out;
        size_t n = 0;
        for (auto _ : s) n = c.compress(corpus.data, out);
        if (n == 0) s.SkipWithError("compression failed");
        g_sizes[key] = n;
        s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(corpus.data.size()));
        s.counters["ratio"] = static_cast<double>(n) / static_cast<double>(corpus.data.size());
      })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark(
      ("decompress/" + key).c_str(),
      [corpus, c](benchmark::State& s) {
        Bytes packed;
        const size_t n = c.compress(corpus.data, packed);
        Bytes out(corpus.data.size() + 4096);
        size_t got = 0;
        for (auto _ : s) got = c.decompress(packed, n, out);
        if (got != corpus.data.size()) s.SkipWithError("round trip failed");
        s.SetBytesProcessed(s.iterations() * static_cast<int64_t>(corpus.data.size()));
      })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

// Keeps the mean real time of every run by name.
class TimeReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.iterations > 0) {
        std::string name = r.benchmark_name();
        name = name.substr(0, name.find("/real_time"));
        seconds[name] = r.real_accumulated_time / static_cast<double>(r.iterations);
      }
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const std::vector<Corpus> corpora = Corpora();
  const std::vector<Codec> codecs = {Builtin(codec::Format::kVersion3, "builtin-v3"),
                                     Builtin(codec::Format::kVersion4, "builtin-v4"), Zlib(1),
                                     Zlib(6)};
  for (const Corpus& corpus : corpora) {
    for (const Codec& c : codecs) Register(corpus, c);
  }
  TimeReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\n| measured | time | baseline | time | ratio | target |\n");
  for (const Corpus& corpus : corpora) {
    const double mb = static_cast<double>(corpus.data.size()) / 1e6;
    auto t = [&](const std::string& what, const std::string& c) {
      const auto it = reporter.seconds.find(what + "/" + c + "/" + corpus.name);
      return it == reporter.seconds.end() ? 0.0 : it->second;
    };
    auto row = [](const std::string& what, double a, const std::string& base, double b,
                  double ratio, const std::string& target, bool met) {
      std::printf("| %s | %s | %s | %s | %.2fx | %s %s |\n", what.c_str(),
                  a > 0 ? (std::to_string(static_cast<int>(a)) + " MB/s").c_str() : "-",
                  base.c_str(),
                  b > 0 ? (std::to_string(static_cast<int>(b)) + " MB/s").c_str() : "-", ratio,
                  target.c_str(), met ? "met" : "MISSED");
    };
    const double z6_comp = t("compress", "zlib-6");
    const double z1_dec = t("decompress", "zlib-1"), z6_dec = t("decompress", "zlib-6");
    const double inflate = std::min(z1_dec, z6_dec);
    const double z6_size = static_cast<double>(g_sizes["zlib-6/" + corpus.name]);
    for (const char* name : {"builtin-v3", "builtin-v4"}) {
      const double comp = t("compress", name), dec = t("decompress", name);
      if (comp <= 0 || dec <= 0 || z6_comp <= 0 || inflate <= 0) continue;
      const std::string tag = std::string(name) + " " + corpus.name;
      row(tag + " compress", mb / comp, "zlib-6 compress", mb / z6_comp, z6_comp / comp,
          "speed >= 1x", z6_comp / comp >= 1);
      row(tag + " decompress", mb / dec, "zlib inflate (faster of 1, 6)", mb / inflate,
          inflate / dec, "speed > 1x", inflate / dec > 1);
      const double size = static_cast<double>(g_sizes[std::string(name) + "/" + corpus.name]);
      std::printf(
          "| %s size | %.3f of input | zlib-6 size | %.3f of input | %.2fx | <= 1.3x %s |\n",
          tag.c_str(), size / static_cast<double>(corpus.data.size()),
          z6_size / static_cast<double>(corpus.data.size()), size / z6_size,
          size / z6_size <= 1.3 ? "met" : "MISSED");
    }
  }
  benchmark::Shutdown();
  return 0;
}
