// Tests of the binding's checked calls: which results count as success, and the constants
// every call passes.
#include "compress/compression_library.h"

#include <gtest/gtest.h>

#include <vector>

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
  }
}

}  // namespace
}  // namespace codec
