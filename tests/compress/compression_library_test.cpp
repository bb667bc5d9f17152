// Tests of the binding's checked calls: which results count as success, and the constants
// every call passes; and of the choice between the platform's DLLs and the built-in codecs.
#include "compress/compression_library.h"

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "compress/backend_choice.h"

namespace codec {
namespace {

// Returns `result` from every function and records the arguments of the last call.
class FakeLibrary final : public CompressionLibrary {
 public:
  uint32_t result = 0;
  mutable std::vector<uint32_t> args;

  uint32_t CECompress3(const uint8_t*, uint32_t l, uint8_t*, uint32_t c, uint32_t one,
                       uint32_t page) const override {
    args = {3, l, c, one, page};
    return result;
  }
  uint32_t CECompress4(const uint8_t*, uint32_t l, uint8_t*, uint32_t c, uint32_t one,
                       uint32_t page) const override {
    args = {4, l, c, one, page};
    return result;
  }
  uint32_t CEDecompress3(const uint8_t*, uint32_t l, uint8_t*, uint32_t c, uint32_t zero,
                         uint32_t one, uint32_t page) const override {
    args = {13, l, c, zero, one, page};
    return result;
  }
  uint32_t CEDecompress4(const uint8_t*, uint32_t l, uint8_t*, uint32_t c, uint32_t zero,
                         uint32_t one, uint32_t page) const override {
    args = {14, l, c, zero, one, page};
    return result;
  }
  uint32_t CEDecompressROM(const uint8_t*, uint32_t l, uint8_t*, uint32_t c, uint32_t zero,
                           uint32_t one, uint32_t page) const override {
    args = {15, l, c, zero, one, page};
    return result;
  }
};

TEST(CallChecked, PassesTheConstantsAndReadsTopBitResultsAsFailure) {
  FakeLibrary lib;
  std::vector<uint8_t> src(10), dst(100);
  lib.result = 42;
  uint32_t raw = 0;
  EXPECT_EQ(lib.CallChecked(Operation::kCompress3, src, dst, &raw), 42u);
  EXPECT_EQ(raw, 42u);
  EXPECT_EQ(lib.args, (std::vector<uint32_t>{3, 10, 100, 1, 4096}));
  EXPECT_EQ(lib.CallChecked(Operation::kCompress4, src, dst), 42u);
  EXPECT_EQ(lib.args[0], 4u);
  EXPECT_EQ(lib.CallChecked(Operation::kDecompress3, src, dst), 42u);
  EXPECT_EQ(lib.args, (std::vector<uint32_t>{13, 10, 100, 0, 1, 4096}));
  EXPECT_EQ(lib.CallChecked(Operation::kDecompress4, src, dst), 42u);
  EXPECT_EQ(lib.args[0], 14u);
  EXPECT_EQ(lib.DecompressRom(src, dst), 42u);
  EXPECT_EQ(lib.args[0], 15u);

  for (uint32_t failure : {0x80000000u, 0xFFFFFFFFu, 101u}) {  // 101: beyond the capacity
    lib.result = failure;
    EXPECT_FALSE(lib.CallChecked(Operation::kCompress4, src, dst, &raw)) << failure;
    EXPECT_EQ(raw, failure);
    EXPECT_FALSE(lib.DecompressRom(src, dst)) << failure;
  }
  lib.result = 100;
  EXPECT_EQ(lib.DecompressRom(src, dst), 100u);
}

TEST(CallChecked, ZeroIsTheEmptyStreamsDataAndNothingElse) {
  FakeLibrary lib;
  lib.result = 0;
  std::vector<uint8_t> dst(16);
  const std::vector<uint8_t> empty_stream = {0, 0, 0};
  for (Operation op : {Operation::kDecompress3, Operation::kDecompress4}) {
    EXPECT_EQ(lib.CallChecked(op, empty_stream, dst), 0u);
  }
  EXPECT_EQ(lib.DecompressRom(empty_stream, dst), 0u);
  EXPECT_FALSE(lib.DecompressRom(std::vector<uint8_t>{0, 0, 0, 0}, dst));
  EXPECT_FALSE(lib.DecompressRom(std::vector<uint8_t>{0, 0, 1}, dst));
  EXPECT_FALSE(lib.DecompressRom({}, dst));
  // Even 0 bytes compress to 3; a compression result of 0 is a failure.
  EXPECT_FALSE(lib.CallChecked(Operation::kCompress4, {}, dst));
  EXPECT_FALSE(lib.CallChecked(Operation::kCompress3, empty_stream, dst));
}

TEST(BuiltinLibrary, RefusesOtherConstantsAndSpeaksBothCodings) {
  std::string missing;
  const auto lib = CompressionLibrary::Bind(missing);
  ASSERT_TRUE(lib);
  const std::vector<uint8_t> text(5000, 'a');
  std::vector<uint8_t> packed(6000), out(6000);
  EXPECT_EQ(lib->CECompress4(text.data(), 5000, packed.data(), 6000, 1, 512), 0xFFFFFFFFu);
  EXPECT_EQ(lib->CECompress3(text.data(), 5000, packed.data(), 6000, 0, 4096), 0xFFFFFFFFu);
  for (auto [pack, unpack] : {std::pair{Operation::kCompress3, Operation::kDecompress3},
                              std::pair{Operation::kCompress4, Operation::kDecompress4}}) {
    const auto n = lib->CallChecked(pack, text, packed);
    ASSERT_TRUE(n);
    const std::span<const uint8_t> stream(packed.data(), *n);
    EXPECT_EQ(lib->CEDecompressROM(stream.data(), *n, out.data(), 6000, 0, 1, 1024), 0xFFFFFFFFu);
    EXPECT_EQ(lib->CEDecompressROM(stream.data(), *n, out.data(), 6000, 1, 1, 4096), 0xFFFFFFFFu);
    EXPECT_EQ(lib->CallChecked(unpack, stream, out), 5000u);
    EXPECT_EQ(lib->DecompressRom(stream, out), 5000u);
    EXPECT_FALSE(lib->DecompressRom(stream, std::span(out.data(), 4999)));
    // Each page is told; a progress that says stop makes the call fail.
    std::vector<uint32_t> told;
    const PageProgress stop_after_first = [&](uint32_t done, uint32_t pages) {
      told.push_back(done * 10 + pages);
      return done < 1;
    };
    EXPECT_FALSE(lib->CallChecked(unpack, stream, out, nullptr, stop_after_first));
    EXPECT_FALSE(lib->CallChecked(pack, text, packed, nullptr, stop_after_first));
    EXPECT_EQ(told, (std::vector<uint32_t>{12, 12}));
  }
}

// What a binder was asked, and what it answers: the platform's DLLs stand in as a FakeLibrary.
int binder_calls = 0;
const char* binder_missing = nullptr;  // nullptr: the DLLs are there
std::unique_ptr<CompressionLibrary> FakeBinder(std::string& missing) {
  ++binder_calls;
  if (binder_missing) {
    missing = binder_missing;
    return nullptr;
  }
  return std::make_unique<FakeLibrary>();
}

bool IsBuiltin(const std::unique_ptr<CompressionLibrary>& lib) {
  if (!lib || dynamic_cast<const FakeLibrary*>(lib.get())) return false;
  const std::vector<uint8_t> data(100, 'x');
  std::vector<uint8_t> packed(200), out(100);
  const auto n = lib->CallChecked(Operation::kCompress3, data, packed);
  return n && lib->DecompressRom(std::span(packed.data(), *n), out) == 100u && out == data;
}

struct Selection {
  std::unique_ptr<CompressionLibrary> lib;
  std::string missing = "stale";
  std::string notice;
};

Selection Select(const char* variable, PlatformBinder binder, const char* dll_missing) {
  binder_calls = 0;
  binder_missing = dll_missing;
  Selection s;
  const BackendChoice choice = ParseBackendChoice(variable, s.notice);
  s.lib = SelectBackend(choice, binder, s.missing, s.notice);
  return s;
}

TEST(BackendChoice, TheDllsWhereBothAreThereElseTheBuiltinCodecs) {
  Selection s = Select(nullptr, FakeBinder, nullptr);
  EXPECT_TRUE(dynamic_cast<const FakeLibrary*>(s.lib.get()));
  EXPECT_EQ(s.notice, "Using CECompress.dll and Compress.dll\n");
  EXPECT_EQ(s.missing, "");

  for (const char* missing : {"CECompress.dll", "Compress.dll: export CEDecompress"}) {
    s = Select("", FakeBinder, missing);
    EXPECT_TRUE(IsBuiltin(s.lib)) << missing;
    EXPECT_EQ(s.notice, "Using the built-in codecs: " + std::string(missing) + " is missing\n");
    EXPECT_EQ(s.missing, "") << "the program starts";
  }
}

TEST(BackendChoice, TheVariableForcesEitherAndAForcedMissingDllStopsTheProgram) {
  Selection s = Select("builtin", FakeBinder, nullptr);
  EXPECT_TRUE(IsBuiltin(s.lib));
  EXPECT_EQ(binder_calls, 0) << "forced built-in codecs load no DLL";
  EXPECT_EQ(s.notice, "Using the built-in codecs (TARNWICK_COMPRESSION=builtin)\n");

  s = Select("DLL", FakeBinder, nullptr);
  EXPECT_TRUE(dynamic_cast<const FakeLibrary*>(s.lib.get()));
  s = Select("dll", FakeBinder, "Compress.dll");
  EXPECT_FALSE(s.lib);
  EXPECT_EQ(s.missing, "Compress.dll");
  EXPECT_EQ(s.notice, "");

  s = Select("dlls", FakeBinder, "CECompress.dll");
  EXPECT_TRUE(IsBuiltin(s.lib));
  EXPECT_EQ(s.notice,
            "TARNWICK_COMPRESSION=dlls is neither dll nor builtin and is ignored\n"
            "Using the built-in codecs: CECompress.dll is missing\n");
}

TEST(BackendChoice, AProgramThatCannotLoadTheDllsSaysSo) {
  Selection s = Select(nullptr, nullptr, nullptr);
  EXPECT_TRUE(IsBuiltin(s.lib));
  EXPECT_EQ(s.notice,
            "Using the built-in codecs: this 64-bit program cannot load the platform's 32-bit "
            "DLLs\n");
  s = Select("dll", nullptr, nullptr);
  EXPECT_FALSE(s.lib);
  EXPECT_EQ(s.missing, "CECompress.dll");
  EXPECT_EQ(s.notice,
            "Cannot use CECompress.dll and Compress.dll as TARNWICK_COMPRESSION=dll asks: this "
            "64-bit program cannot load the platform's 32-bit DLLs; the 32-bit one can\n");
}

}  // namespace
}  // namespace codec
