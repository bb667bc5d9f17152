// Tests of the ROM streams in both page codings: the shared test vectors, round trips, what
// the encoders write, capacities and damaged streams.
#include "compress/rom_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <optional>
#include <random>

#include "compress/page_framing.h"
#include "compress/page_threads.h"
#include "tests/compress/codec_test_data.h"

namespace codec {
namespace {

using codectest::Bytes;
using codectest::Exact;

constexpr PageCoding kCodings[] = {PageCoding::kLzx, PageCoding::kLz77};

PageReading ReaderOf(PageCoding c) {
  return c == PageCoding::kLzx ? PageReading::kLzx : PageReading::kLz77;
}
const char* NameOf(PageCoding c) { return c == PageCoding::kLzx ? "LZX" : "LZ77"; }

// Room for any stream the encoders write for `n` bytes.
size_t Room(size_t n) { return n + n / 4 + 64 * (n / kPageSize + 1) + 16; }

Bytes Compress(PageCoding coding, const Bytes& in) {
  const Exact src(in);
  Bytes out(Room(in.size()));
  const uint32_t size = CompressRomStream(coding, src.span(), out);
  if (size == kCodecFailure) return {};
  out.resize(size);
  return out;
}

// Decodes from an exact-size copy into a buffer of `capacity` bytes followed by a guard byte
// that must stay untouched.
std::optional<Bytes> Decompress(PageReading reading, const Bytes& stream, size_t capacity) {
  const Exact src(stream);
  Bytes out(capacity + 1, 0xA5);
  const uint32_t got = DecompressRomStream(reading, src.span(), std::span(out.data(), capacity));
  EXPECT_EQ(out[capacity], 0xA5) << "written past the capacity";
  if (got == kCodecFailure) return std::nullopt;
  EXPECT_LE(got, capacity);
  out.resize(got);
  return out;
}

std::vector<std::pair<std::string, Bytes>> Kinds(size_t n) {
  Bytes half(n);
  for (size_t i = 0; i < n; ++i) half[i] = static_cast<uint8_t>(i / 300 * 37 + (i % 3));
  return {{"text", codectest::Text(n, static_cast<uint32_t>(n))},
          {"x86", codectest::X86Like(n, static_cast<uint32_t>(n))},
          {"zeros", Bytes(n, 0)},
          {"random", codectest::Random(n, static_cast<uint32_t>(n))},
          {"repeated pages", codectest::RepeatedPages(n)},
          {"records", codectest::Records(n, static_cast<uint32_t>(n))},
          {"runs", half}};
}

TEST(RomCodecVectors, EachDecodesToItsOriginalWithItsDecoderAndInRomMode) {
  const std::filesystem::path root = TARNWICK_CE_ROM_VECTORS;
  if (!std::filesystem::is_directory(root)) GTEST_SKIP() << root << " is absent";
  int checked = 0;
  for (const auto& [dir, reading] :
       {std::pair{root, PageReading::kLzx}, std::pair{root / "old", PageReading::kLz77}}) {
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      if (entry.path().extension() != ".rom") continue;
      const Bytes stream = codectest::Load(entry.path().string());
      const Bytes original =
          codectest::Load(std::filesystem::path(entry.path()).replace_extension(".bin").string());
      for (PageReading r : {reading, PageReading::kEither}) {
        const auto got = Decompress(r, stream, original.size());
        ASSERT_TRUE(got) << entry.path();
        EXPECT_TRUE(*got == original) << entry.path();
      }
      // The other coding's decoder refuses it (the empty stream is both codings' own).
      if (!original.empty()) {
        const PageReading other =
            reading == PageReading::kLzx ? PageReading::kLz77 : PageReading::kLzx;
        EXPECT_FALSE(Decompress(other, stream, original.size() + 4096)) << entry.path();
      }
      // One byte less room than the data needs.
      if (!original.empty()) {
        EXPECT_FALSE(Decompress(reading, stream, original.size() - 1));
      }
      ++checked;
    }
  }
  EXPECT_EQ(checked, 20);
}

TEST(RomCodec, RoundTripsEveryKindAndSize) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{10}, size_t{11}, size_t{4095},
                   size_t{4096}, size_t{4097}, size_t{8192 + 17}, size_t{100000}}) {
    for (const auto& [kind, in] : Kinds(n)) {
      for (PageCoding coding : kCodings) {
        const Bytes stream = Compress(coding, in);
        ASSERT_GE(stream.size(), 3u) << NameOf(coding) << " " << kind << " " << n;
        for (PageReading r : {ReaderOf(coding), PageReading::kEither}) {
          const auto got = Decompress(r, stream, n);
          ASSERT_TRUE(got) << NameOf(coding) << " " << kind << " " << n;
          EXPECT_TRUE(*got == in) << NameOf(coding) << " " << kind << " " << n;
        }
      }
    }
  }
}

TEST(RomCodec, RoundTripsJustBelowSixteenMebibytesAndRefusesMore) {
  const size_t n = kMaxRomData;  // 16 MiB - 1
  Bytes in = codectest::Text(n, 5);
  const Bytes code = codectest::X86Like(1 << 20, 6);
  std::copy(code.begin(), code.end(), in.begin() + (3 << 20));
  std::fill(in.begin() + (6 << 20), in.begin() + (7 << 20), 0);
  for (PageCoding coding : kCodings) {
    const Bytes stream = Compress(coding, in);
    ASSERT_FALSE(stream.empty()) << NameOf(coding);
    const auto got = Decompress(PageReading::kEither, stream, n);
    ASSERT_TRUE(got) << NameOf(coding);
    EXPECT_TRUE(*got == in) << NameOf(coding);
  }
  // 16 MiB cannot be expressed; nor can a stream that would reach 16 MiB (shared framing
  // code: the older coding, whose encoder is the faster, stands for both).
  const Bytes big(n + 1, 'x');
  for (PageCoding coding : kCodings) {
    Bytes out(Room(big.size()));
    EXPECT_EQ(CompressRomStream(coding, big, out), kCodecFailure) << NameOf(coding);
  }
  const Bytes noise = codectest::Random(n, 8);
  Bytes out(Room(noise.size()));
  EXPECT_EQ(CompressRomStream(PageCoding::kLz77, noise, out), kCodecFailure);
}

TEST(RomCodec, SameInputSameStreamAndCapacityOneByteShortFails) {
  const Bytes in = codectest::X86Like(30000, 3);
  for (PageCoding coding : kCodings) {
    const Bytes a = Compress(coding, in), b = Compress(coding, in);
    ASSERT_FALSE(a.empty());
    EXPECT_EQ(a, b);
    Bytes guarded(a.size() - 1 + 1, 0x5A);
    EXPECT_EQ(CompressRomStream(coding, in, std::span(guarded.data(), a.size() - 1)),
              kCodecFailure);
    EXPECT_EQ(guarded.back(), 0x5A);
    Bytes exact(a.size());
    EXPECT_EQ(CompressRomStream(coding, in, exact), a.size());
    EXPECT_EQ(exact, a);
  }
  // The empty input is the 3-byte stream, in either coding.
  EXPECT_EQ(Compress(PageCoding::kLzx, {}), (Bytes{0, 0, 0}));
  EXPECT_EQ(Compress(PageCoding::kLz77, {}), (Bytes{0, 0, 0}));
}

// Long streams are coded on several threads: the stream is the same on any number of them, a
// stream that does not fit fails without writing past the end, and the pages are told in order.
TEST(RomCodec, AnyNumberOfThreadsGivesTheSameStream) {
  Bytes in = codectest::Text(200000, 5);
  const Bytes x86 = codectest::X86Like(150000, 6), noise = codectest::Random(180000, 7);
  in.insert(in.end(), x86.begin(), x86.end());
  in.insert(in.end(), noise.begin(), noise.end());
  const auto pages = static_cast<uint32_t>((in.size() + kPageSize - 1) / kPageSize);
  ASSERT_GT(pages, 100u);
  for (PageCoding coding : kCodings) {
    SetPageThreads(1);
    const Bytes one = Compress(coding, in);
    ASSERT_FALSE(one.empty());
    for (unsigned threads : {2u, 3u, 8u}) {
      SetPageThreads(threads);
      EXPECT_EQ(Compress(coding, in), one) << NameOf(coding) << " on " << threads << " threads";
      Bytes guarded(one.size(), 0x5A);
      EXPECT_EQ(CompressRomStream(coding, in, std::span(guarded.data(), one.size() - 1)),
                kCodecFailure);
      EXPECT_EQ(guarded.back(), 0x5A);
    }
    std::vector<uint32_t> told;
    const Exact src(in);
    Bytes out(Room(in.size()));
    ASSERT_EQ(CompressRomStream(coding, src.span(), out, [&](uint32_t done, uint32_t of) {
                told.push_back(done);
                return of == pages;
              }),
              one.size());
    ASSERT_EQ(told.size(), pages);
    EXPECT_TRUE(std::ranges::is_sorted(told) && told.front() == 1 && told.back() == pages);
    SetPageThreads(0);
  }
}

// Bits that any coding of `page` as literals alone needs at least: its order-0 entropy.
double LiteralBits(const Bytes& page) {
  std::array<uint32_t, 256> counts{};
  for (uint8_t b : page) ++counts[b];
  double bits = 0;
  for (uint32_t c : counts) {
    if (c != 0) bits -= c * std::log2(static_cast<double>(c) / static_cast<double>(page.size()));
  }
  return bits;
}

// Pages whose only repeats are two-byte fields a fixed number of bytes back, between bytes
// that do not repeat: matches of length 2, which only pay at a repeat offset.
TEST(RomCodec, LzxCodesTwoByteRepeatsAtEachRepeatOffset) {
  const Bytes cycling = codectest::CyclingPairs(4096, 25);
  // 4-byte records of two counters around two bytes shared by 64 records: 81 e0 f0 c2 82 e0 ...
  Bytes records;
  for (uint32_t k = 0; k < 1024; ++k) {
    const uint32_t group = k / 64 * 37;
    records.insert(records.end(),
                   {static_cast<uint8_t>(0x81 + k), static_cast<uint8_t>(group),
                    static_cast<uint8_t>(group * 7 + 3), static_cast<uint8_t>(0xC2 + 3 * k)});
  }
  for (const Bytes& page : {cycling, records}) {
    const Bytes stream = Compress(PageCoding::kLzx, page);
    const double literal_bits = LiteralBits(page);
    EXPECT_LT((stream.size() - 3 - 3 - 20) * 8.0, literal_bits)
        << "stream " << stream.size() << " bytes, literals alone " << literal_bits / 8;
    const auto got = Decompress(PageReading::kLzx, stream, page.size());
    ASSERT_TRUE(got);
    EXPECT_TRUE(*got == page);
  }
  // A page's record does not depend on the pages before it.
  Bytes both = cycling;
  both.insert(both.end(), records.begin(), records.end());
  const Bytes alone = Compress(PageCoding::kLzx, records), after = Compress(PageCoding::kLzx, both);
  const auto alone_framing = PageFraming::Read(alone), after_framing = PageFraming::Read(after);
  ASSERT_TRUE(alone_framing && after_framing);
  const auto a = alone_framing->Record(0), b = after_framing->Record(1);
  EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
}

uint32_t Load32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

TEST(RomCodec, LzxPagesHoldOneVerbatimOrAlignedBlockAfterAClearE8Bit) {
  Bytes in = codectest::Text(2 * 4096, 4);
  const Bytes records = codectest::Records(2 * 4096 + 100, 4);
  in.insert(in.end(), records.begin(), records.end());
  const Bytes stream = Compress(PageCoding::kLzx, in);
  const auto framing = PageFraming::Read(stream);
  ASSERT_TRUE(framing);
  int aligned = 0, verbatim = 0;
  for (uint32_t k = 0; k < framing->pages(); ++k) {
    const auto rec = framing->Record(k);
    const uint32_t usize = framing->PageBytes(k);
    ASSERT_GE(rec.size(), 24u);
    EXPECT_EQ(Load32(rec.data()), 16u);
    EXPECT_EQ(Load32(rec.data() + 4), usize);
    EXPECT_EQ(Load32(rec.data() + 8), rec.size() - 16);
    EXPECT_EQ(Load32(rec.data() + 12), usize);
    EXPECT_EQ(Load32(rec.data() + 16), 0x8D80805Bu);
    EXPECT_EQ(rec.size() % 2, 0u);
    // First 28 bits: E8 flag, block type, block size.
    const uint32_t w0 = rec[20] | rec[21] << 8, w1 = rec[22] | rec[23] << 8;
    const uint32_t bits = w0 << 16 | w1;
    EXPECT_EQ(bits >> 31, 0u);
    const uint32_t type = bits >> 28 & 7;
    EXPECT_TRUE(type == 1 || type == 2) << type;
    aligned += type == 2;
    verbatim += type == 1;
    EXPECT_EQ(bits >> 4 & 0xFFFFFF, usize);
  }
  EXPECT_GT(aligned, 0);
  EXPECT_GT(verbatim, 0);
}

// Walks an LZ77 record and checks what the platform's own streams show: no copy overlaps
// its output, no more recent source gives a copy of the same length, unused flag bits are 0.
void CheckLz77Record(std::span<const uint8_t> rec, const uint8_t* page, uint32_t n) {
  size_t i = 0;
  uint32_t cur = 0;
  while (cur < n) {
    ASSERT_LT(i, rec.size());
    const uint8_t flags = rec[i++];
    uint32_t bit = 0;
    for (; bit < 8 && cur < n; ++bit) {
      if ((flags >> bit & 1) == 0) {
        ++i;
        ++cur;
        continue;
      }
      const uint8_t b0 = rec[i];
      uint32_t src = 0, len = 0;
      if ((b0 & 15) == 1) {
        const uint32_t d = (b0 >> 4) + 2;
        src = cur - d;
        len = 2;
        i += 1;
        for (uint32_t d2 = 2; d2 < d; ++d2) {
          EXPECT_FALSE(page[cur - d2] == page[cur] && page[cur - d2 + 1] == page[cur + 1])
              << "a closer short source at " << cur;
        }
      } else {
        src = (b0 >> 4) | rec[i + 1] << 4;
        len = (b0 & 15) == 0 ? rec[i + 2] + 17u : (b0 & 15) + 1u;
        i += (b0 & 15) == 0 ? 3 : 2;
        for (uint32_t p = src + 1; p + len <= cur; ++p) {
          EXPECT_NE(std::memcmp(page + p, page + cur, len), 0) << "a more recent source at " << cur;
        }
      }
      EXPECT_LE(src + len, cur) << "overlapping copy at " << cur;
      cur += len;
    }
    if (cur == n) {
      EXPECT_EQ(flags >> bit, 0) << "unused flag bits";
    }
  }
  EXPECT_EQ(i, rec.size());
}

TEST(RomCodec, Lz77CopiesNeverOverlapAndTakeTheMostRecentSource) {
  for (const auto& [kind, in] : Kinds(2 * 4096 + 999)) {
    const Bytes stream = Compress(PageCoding::kLz77, in);
    const auto framing = PageFraming::Read(stream);
    ASSERT_TRUE(framing) << kind;
    for (uint32_t k = 0; k < framing->pages(); ++k) {
      CheckLz77Record(framing->Record(k), in.data() + k * kPageSize, framing->PageBytes(k));
    }
  }
}

// Page records of both codings in one stream, as a ROM-mode reader may meet them.
TEST(RomCodec, RomModeDecidesPageByPage) {
  const Bytes in = codectest::Text(3 * 4096 + 50, 9);
  const Bytes lzx = Compress(PageCoding::kLzx, in), lz77 = Compress(PageCoding::kLz77, in);
  const auto a = PageFraming::Read(lzx), b = PageFraming::Read(lz77);
  ASSERT_TRUE(a && b);
  Bytes mixed(3 + 3 * 4);
  StoreU24(mixed.data(), static_cast<uint32_t>(in.size()));
  for (uint32_t k = 0; k < 4; ++k) {
    const auto rec = k % 2 ? b->Record(k) : a->Record(k);
    mixed.insert(mixed.end(), rec.begin(), rec.end());
    StoreU24(mixed.data() + 3 + 3 * k, static_cast<uint32_t>(mixed.size()));
  }
  const auto got = Decompress(PageReading::kEither, mixed, in.size());
  ASSERT_TRUE(got);
  EXPECT_TRUE(*got == in);
  EXPECT_FALSE(Decompress(PageReading::kLzx, mixed, in.size()));
  EXPECT_FALSE(Decompress(PageReading::kLz77, mixed, in.size()));
}

TEST(RomCodec, RandomDamageEndsInFailureOrDataOfTheRightSize) {
  std::mt19937 rng(17);
  for (PageCoding coding : kCodings) {
    for (const auto& [kind, in] : Kinds(3 * 4096 + 321)) {
      const Bytes stream = Compress(coding, in);
      for (int trial = 0; trial < 200; ++trial) {
        Bytes damaged = stream;
        const int flips = 1 + static_cast<int>(rng() % 3);
        for (int f = 0; f < flips; ++f) {
          const size_t at = rng() % damaged.size();
          damaged[at] = static_cast<uint8_t>(damaged[at] ^ (1u << (rng() % 8)));
        }
        const auto got = Decompress(PageReading::kEither, damaged, in.size() + 100);
        if (got) {
          EXPECT_EQ(got->size(), in.size()) << NameOf(coding) << " " << kind;
        }
      }
      // Cut anywhere: the end table then reaches past the stream.
      for (int trial = 0; trial < 50; ++trial) {
        const Bytes cut(stream.begin(),
                        stream.begin() + static_cast<std::ptrdiff_t>(rng() % stream.size()));
        EXPECT_FALSE(Decompress(PageReading::kEither, cut, in.size()));
      }
    }
  }
}

}  // namespace
}  // namespace codec
