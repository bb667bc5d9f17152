// Tests of the built-in codec: round trips, bounded growth, capacities and corrupt streams.
#include "compress/lz_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "compress/compression_library.h"

namespace codec {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

// Text-like data: words from a small vocabulary.
Bytes Words(size_t n, uint32_t seed) {
  static const char* kWords[] = {"the ",  "image ",  "file ",  "header ", "module ", "ROM ",
                                 "data ", "offset ", "table ", "entry ",  "\r\n",    "0x8C00 "};
  std::mt19937 rng(seed);
  Bytes b;
  while (b.size() < n) {
    const char* w = kWords[rng() % 12];
    b.insert(b.end(), w, w + std::strlen(w));
  }
  b.resize(n);
  return b;
}

// Compresses into an exact-size heap block, decompresses into another, and checks the bytes.
void RoundTrip(Format f, const Bytes& in) {
  const auto n = static_cast<uint32_t>(in.size());
  const auto cap = static_cast<uint32_t>(MaxCompressedSize(n));
  auto packed = std::make_unique<uint8_t[]>(cap);
  const uint32_t size = Compress(f, in.data(), n, packed.get(), cap);
  ASSERT_GE(size, kStreamHeaderSize) << n;
  ASSERT_LE(size, cap);
  auto exact = std::make_unique<uint8_t[]>(size);
  std::memcpy(exact.get(), packed.get(), size);
  Bytes out(n + 1, 0xEE);
  ASSERT_EQ(Decompress(f, exact.get(), size, out.data(), n), n);
  EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin()));
  EXPECT_EQ(out[n], 0xEE);  // nothing written past the capacity
}

TEST(LzCodec, RoundTripsAllSizesAndKinds) {
  for (Format f : {Format::kVersion3, Format::kVersion4}) {
    for (size_t n : {size_t{1}, size_t{2}, size_t{3}, size_t{17}, size_t{4095}, size_t{4096},
                     size_t{4097}, size_t{65536 + 3}, size_t{300000}}) {
      RoundTrip(f, Random(n, static_cast<uint32_t>(n)));
      RoundTrip(f, Words(n, static_cast<uint32_t>(n)));
      RoundTrip(f, Bytes(n, 0));
      Bytes runs(n);
      for (size_t i = 0; i < n; ++i) runs[i] = static_cast<uint8_t>(i / 300 * 37 + (i % 3));
      RoundTrip(f, runs);
    }
  }
}

TEST(LzCodec, RoundTripsSixtyFourMebibytes) {
  Bytes big = Words(64u << 20, 7);
  for (size_t i = 0; i < big.size(); i += 1 << 20) {
    const Bytes noise = Random(70000, static_cast<uint32_t>(i));
    std::copy(noise.begin(), noise.end(), big.begin() + static_cast<std::ptrdiff_t>(i));
  }
  RoundTrip(Format::kVersion4, big);
  RoundTrip(Format::kVersion3, big);
}

TEST(LzCodec, IncompressibleDataGrowsByTwoBytesAPage) {
  const Bytes in = Random(10 * 4096 + 5, 3);
  Bytes out(MaxCompressedSize(in.size()));
  const uint32_t n = Compress(Format::kVersion3, in.data(), static_cast<uint32_t>(in.size()),
                              out.data(), static_cast<uint32_t>(out.size()));
  EXPECT_EQ(n, in.size() + 8 + 2 * 11);
  // Zumpel's capacity of length + 65536 holds the largest stream for 64 MiB.
  EXPECT_LE(MaxCompressedSize(64u << 20), (64u << 20) + 65536);
}

TEST(LzCodec, SameInputSameOutput) {
  const Bytes in = Words(200000, 11);
  Bytes a(MaxCompressedSize(in.size())), b(a.size(), 0x55);
  const auto n = static_cast<uint32_t>(in.size());
  const uint32_t na =
      Compress(Format::kVersion4, in.data(), n, a.data(), static_cast<uint32_t>(a.size()));
  const uint32_t nb =
      Compress(Format::kVersion4, in.data(), n, b.data(), static_cast<uint32_t>(b.size()));
  ASSERT_EQ(na, nb);
  EXPECT_TRUE(std::equal(a.begin(), a.begin() + na, b.begin()));
}

TEST(LzCodec, CapacityOneByteShortFails) {
  for (Format f : {Format::kVersion3, Format::kVersion4}) {
    const Bytes in = Words(50000, 5);
    const auto n = static_cast<uint32_t>(in.size());
    Bytes packed(MaxCompressedSize(n));
    const uint32_t size =
        Compress(f, in.data(), n, packed.data(), static_cast<uint32_t>(packed.size()));
    ASSERT_GT(size, 0u);
    auto tight = std::make_unique<uint8_t[]>(size - 1);
    EXPECT_EQ(Compress(f, in.data(), n, tight.get(), size - 1), 0u);
    auto exact = std::make_unique<uint8_t[]>(size);
    EXPECT_EQ(Compress(f, in.data(), n, exact.get(), size), size);
    Bytes out(n - 1);
    EXPECT_EQ(Decompress(f, packed.data(), size, out.data(), n - 1), 0u);
  }
}

// A version-3 stream of one page of `n` bytes whose tokens are `tokens`.
Bytes Stream3(uint32_t n, const Bytes& tokens) {
  Bytes s = {'T', 'W', 'Z', '3', static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0, 0};
  s.push_back(static_cast<uint8_t>(tokens.size()));
  s.push_back(static_cast<uint8_t>(tokens.size() >> 8));
  s.insert(s.end(), tokens.begin(), tokens.end());
  return s;
}

uint32_t Decode(const Bytes& stream, uint32_t cap, Format f = Format::kVersion3) {
  auto exact = std::make_unique<uint8_t[]>(stream.size());
  std::memcpy(exact.get(), stream.data(), stream.size());
  Bytes out(cap);
  return Decompress(f, exact.get(), static_cast<uint32_t>(stream.size()), out.data(), cap);
}

TEST(LzCodecCorruption, HandBuiltStreams) {
  // Flags 0b01...: literal 'a', then a match of offset 1, length 9: ten bytes.
  const Bytes good = Stream3(10, {0x00, 0x00, 0x00, 0x40, 'a', 0x06, 0x00});
  EXPECT_EQ(Decode(good, 10), 10u);
  // The same with the version-4 magic is foreign input.
  EXPECT_EQ(Decode(good, 10, Format::kVersion4), 0u);
  // Offset beyond the bytes produced: the match comes first.
  EXPECT_EQ(Decode(Stream3(10, {0x00, 0x00, 0x00, 0x80, 0x06, 0x00}), 10), 0u);
  // Length beyond the page.
  EXPECT_EQ(Decode(Stream3(9, {0x00, 0x00, 0x00, 0x40, 'a', 0x06, 0x00}), 9), 0u);
  // Truncated inside the token.
  EXPECT_EQ(Decode(Stream3(10, {0x00, 0x00, 0x00, 0x40, 'a', 0x06}), 10), 0u);
  // Tokens left over after the page is produced.
  EXPECT_EQ(Decode(Stream3(10, {0x00, 0x00, 0x00, 0x40, 'a', 0x06, 0x00, 'z'}), 10), 0u);
  // Page words of 0 and of the page's length are corrupt.
  EXPECT_EQ(Decode(Stream3(10, {}), 10), 0u);
  // A page word of the page's length or more, and trailing bytes behind the stream.
  Bytes stored = {'T', 'W', 'Z', '3', 2, 0, 0, 0, 0x00, 0x80, 'x', 'y'};
  EXPECT_EQ(Decode(stored, 2), 2u);
  stored.push_back(0);
  EXPECT_EQ(Decode(stored, 2), 0u);
  EXPECT_EQ(Decode({'T', 'W', 'Z', '3', 2, 0, 0, 0, 0x02, 0x00, 'x', 'y'}, 2), 0u);
  // Header alone, and short headers.
  EXPECT_EQ(Decode({'T', 'W', 'Z', '3', 0, 0, 0, 0}, 16), 0u);
  EXPECT_EQ(Decode({'T', 'W', 'Z'}, 16), 0u);
  // A length that claims more than the capacity.
  EXPECT_EQ(Decode({'T', 'W', 'Z', '3', 0, 0, 1, 0}, 16), 0u);
}

TEST(LzCodecCorruption, RandomBitFlipsNeverCrash) {
  const Bytes in = Words(20000, 9);
  for (Format f : {Format::kVersion3, Format::kVersion4}) {
    Bytes packed(MaxCompressedSize(in.size()));
    const uint32_t n = Compress(f, in.data(), static_cast<uint32_t>(in.size()), packed.data(),
                                static_cast<uint32_t>(packed.size()));
    packed.resize(n);
    std::mt19937 rng(1);
    for (int trial = 0; trial < 300; ++trial) {
      Bytes damaged = packed;
      damaged[8 + rng() % (n - 8)] ^= static_cast<uint8_t>(1u << (rng() % 8));
      const uint32_t r = Decode(damaged, static_cast<uint32_t>(in.size()), f);
      EXPECT_TRUE(r == 0 || r == in.size());
      Bytes cut(packed.begin(), packed.begin() + rng() % n);
      EXPECT_EQ(Decode(cut, static_cast<uint32_t>(in.size()), f), 0u);
    }
  }
}

TEST(CompressionLibrary, VersionThreeStreamsReadInRomMode) {
  std::string missing;
  const auto lib = CompressionLibrary::Bind(missing);
  ASSERT_TRUE(lib) << missing;
  const Bytes in = Words(10000, 2);
  Bytes packed(in.size() + 65536), out(in.size() + 4096);
  const auto n = static_cast<uint32_t>(in.size());
  const uint32_t size = lib->Call(Operation::kCompress3, in.data(), n, packed.data(),
                                  static_cast<uint32_t>(packed.size()));
  ASSERT_FALSE(Failed(size));
  EXPECT_EQ(lib->CEDecompressROM(packed.data(), size, out.data(), n + 4096, 0, 1, 4096), n);
  EXPECT_EQ(lib->Call(Operation::kDecompress3, packed.data(), size, out.data(), n), n);
  EXPECT_TRUE(Failed(lib->Call(Operation::kDecompress4, packed.data(), size, out.data(), n)));
  EXPECT_TRUE(Failed(lib->CEDecompressROM(packed.data(), size, out.data(), n, 0, 1, 512)));
}

}  // namespace
}  // namespace codec
