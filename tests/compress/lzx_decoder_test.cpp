// Tests of the LZX page decoder on hand-built streams: the parts of LZX that the encoder never
// writes, and one named defect per rejected stream.
#include "compress/lzx_decoder.h"

#include <gtest/gtest.h>

#include <optional>

#include "compress/page_framing.h"
#include "compress/rom_codec.h"
#include "tests/compress/codec_test_data.h"
#include "tests/compress/lzx_test_stream.h"

namespace codec {
namespace {

using lzxtest::Bytes;
using lzxtest::PageStream;

// Decodes a one-page stream from an exact-size copy; nullopt for a failure.
std::optional<Bytes> DecodeOnePage(const Bytes& record, uint32_t usize, size_t capacity = 0) {
  const Bytes stream = lzxtest::Stream(usize, {record});
  const codectest::Exact src(stream);
  Bytes out(capacity ? capacity : usize);
  const uint32_t got = DecompressRomStream(PageReading::kLzx, src.span(), out);
  if (got == kCodecFailure) return std::nullopt;
  out.resize(got);
  return out;
}

// "abcabc..." of 20 bytes: three literals and a match of 17 bytes from 3 back (formatted
// offset 5: slot 4, Base 4, one footer bit of value 1).
void AbcBlock(PageStream& s, uint32_t type) {
  s.Block(type, 20);
  if (type == 2) s.FlatAlignedTree();
  s.FlatMainTree();
  s.FlatLengthTree();
  s.Literal('a');
  s.Literal('b');
  s.Literal('c');
  s.Match(4, 17, 1, 1);
}

const Bytes kAbc = [] {
  Bytes b;
  for (int i = 0; i < 20; ++i) b.push_back(static_cast<uint8_t>("abc"[i % 3]));
  return b;
}();

TEST(LzxDecoderAccepts, VerbatimAlignedAndUncompressedBlocksAndTreesCarriedOver) {
  {
    PageStream s;
    s.Header();
    AbcBlock(s, 1);
    EXPECT_EQ(DecodeOnePage(s.Record(20), 20), kAbc);
  }
  {
    // Aligned block: slot 4 has 1 extra bit (< 3), so its footer stays raw.
    PageStream s;
    s.Header();
    AbcBlock(s, 2);
    EXPECT_EQ(DecodeOnePage(s.Record(20), 20), kAbc);
  }
  {
    // Uncompressed block of 3 bytes (odd: one pad byte), then a verbatim block whose first
    // match uses the repeat offset R0 = 2 that the uncompressed block set.
    PageStream s;
    s.Header();
    s.Block(3, 3);
    s.Put(0, 4);  // rest of the current word (28 of 32 bits used)
    s.Raw32(2);
    s.Raw32(7);
    s.Raw32(9);
    s.Raw({'x', 'y', 'z', 0});
    s.Block(1, 4);
    s.FlatMainTree();
    s.EmptyLengthTree();
    s.Match(0, 4);  // 4 bytes from 2 back: "yzyz"
    EXPECT_EQ(DecodeOnePage(s.Record(7), 7), (Bytes{'x', 'y', 'z', 'y', 'z', 'y', 'z'}));
  }
  {
    // Two blocks: the second sends its main tree as "no change" (pretree symbol 0) and
    // uses the flat length tree with a match of 12 bytes from R1 after swapping.
    PageStream s;
    s.Header(true);  // E8 bit set: 32 bits of translation size are read and ignored
    s.Block(1, 2);
    s.FlatMainTree();
    s.EmptyLengthTree();
    s.Literal('p');
    s.Literal('q');
    s.Block(1, 12);
    s.Pretree();
    s.Lengths(256, 0, 0);  // symbol 0 keeps the previous length
    s.Pretree();
    s.Lengths(256, 0, 0);
    s.FlatLengthTree();
    s.Match(3, 12);  // distance 1 (slot 3, no footer): "qqqqqqqqqqqq"
    Bytes want = {'p'};
    want.insert(want.end(), 13, 'q');
    EXPECT_EQ(DecodeOnePage(s.Record(14), 14), want);
  }
}

TEST(LzxDecoderAccepts, ARunOfEqualLengthsCodedWithSymbol19) {
  // All 256 literals of length 8 (code = byte value): 51 runs of 19 (n = 1: five lengths)
  // and one single length; no match symbols.
  PageStream s;
  s.Header();
  s.Block(1, 1);
  s.Pretree();
  for (int i = 0; i < 51; ++i) {
    s.Pre(19);
    s.Put(1, 1);
    s.Pre((17 - 8) % 17);
  }
  s.Lengths(1, 8);
  s.Pretree();
  s.Lengths(256, 0);  // no matches
  s.EmptyLengthTree();
  s.Put('Q', 8);  // literal 'Q' with an 8-bit code = its value
  EXPECT_EQ(DecodeOnePage(s.Record(1), 1), (Bytes{'Q'}));
}

// A valid one-page record of kAbc.
Bytes AbcRecord() {
  PageStream s;
  s.Header();
  AbcBlock(s, 1);
  return s.Record(20);
}

TEST(LzxDecoderRejects, PageHeaderFieldsAndSignature) {
  ASSERT_TRUE(DecodeOnePage(AbcRecord(), 20));
  for (size_t at : {0u, 4u, 8u, 12u, 16u, 19u}) {
    Bytes r = AbcRecord();
    r[at] ^= 1;
    EXPECT_FALSE(DecodeOnePage(r, 20)) << "byte " << at;
  }
  // The record is right but the framing's Total makes the page one byte shorter.
  EXPECT_FALSE(DecodeOnePage(AbcRecord(), 19));
}

TEST(LzxDecoderRejects, BlockTypeAndSize) {
  for (uint32_t type : {0u, 4u, 7u}) {
    PageStream s;
    s.Header();
    AbcBlock(s, type);  // a valid verbatim block but for its type
    EXPECT_FALSE(DecodeOnePage(s.Record(20), 20)) << "type " << type;
  }
  for (uint32_t size : {0u, 19u, 21u}) {
    PageStream s;
    s.Header();
    s.Block(1, size);
    s.FlatMainTree();
    s.FlatLengthTree();
    s.Literal('a');
    s.Literal('b');
    s.Literal('c');
    s.Match(4, 17, 1, 1);
    EXPECT_FALSE(DecodeOnePage(s.Record(20), 20)) << "size " << size;
  }
}

// "abcabcabcab": literals a, b, c and 8 bytes from 3 back, under trees that `trees` writes.
// Decodes whenever the trees are taken as they are, so each case fails only for its check.
template <typename Trees>
Bytes Abc11(uint32_t type, Trees trees) {
  PageStream s;
  s.Header();
  s.Block(type, 11);
  trees(s);
  s.Literal('a');
  s.Literal('b');
  s.Literal('c');
  s.Match(4, 8, 1, 1);
  return s.Record(11);
}

TEST(LzxDecoderRejects, OverSubscribedAndIncompleteCodes) {
  const Bytes want = {'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b'};
  ASSERT_EQ(DecodeOnePage(Abc11(1,
                                [](PageStream& s) {
                                  s.FlatMainTree();
                                  s.EmptyLengthTree();
                                }),
                          11),
            want);
  EXPECT_FALSE(DecodeOnePage(Abc11(1,
                                   [](PageStream& s) {
                                     s.Pretree();
                                     s.Lengths(256, 9);
                                     s.Pretree();
                                     s.Lengths(255, 9);
                                     s.Lengths(1, 0);  // symbol 511 unused
                                     s.EmptyLengthTree();
                                   }),
                             11))
      << "incomplete main tree";
  EXPECT_FALSE(DecodeOnePage(Abc11(1,
                                   [](PageStream& s) {
                                     s.Pretree();
                                     s.Lengths(256, 9);
                                     s.Pretree();
                                     s.Lengths(255, 9);
                                     s.Lengths(1, 8);  // symbol 511 one bit shorter
                                     s.EmptyLengthTree();
                                   }),
                             11))
      << "over-subscribed main tree";
  EXPECT_FALSE(DecodeOnePage(Abc11(1,
                                   [](PageStream& s) {
                                     s.FlatMainTree();
                                     s.Pretree();
                                     s.Lengths(1, 1);  // one code of length 1, 248 unused
                                     for (int i = 0; i < 4; ++i) {
                                       s.Pre(18);
                                       s.Put(31, 5);
                                     }
                                     s.Pre(18);
                                     s.Put(24, 5);
                                   }),
                             11))
      << "incomplete length tree";
  EXPECT_FALSE(DecodeOnePage(Abc11(2,
                                   [](PageStream& s) {
                                     for (int i = 0; i < 8; ++i) s.Put(2, 3);
                                     s.FlatMainTree();
                                     s.EmptyLengthTree();
                                   }),
                             11))
      << "over-subscribed aligned tree";
  EXPECT_FALSE(DecodeOnePage(Abc11(2,
                                   [](PageStream& s) {
                                     for (int i = 0; i < 8; ++i) s.Put(i < 7 ? 3 : 0, 3);
                                     s.FlatMainTree();
                                     s.EmptyLengthTree();
                                   }),
                             11))
      << "incomplete aligned tree";
  // Pretrees of 20 codes of length 1 and of a single code.
  for (uint8_t only : {0, 1}) {
    std::array<uint8_t, 20> lengths{};
    lengths.fill(only ? 0 : 1);
    lengths[0] = 1;
    PageStream s;
    s.Header();
    s.Block(1, 11);
    s.PretreeLengths(lengths);
    EXPECT_FALSE(DecodeOnePage(s.Record(11), 11)) << (only ? "incomplete" : "over-subscribed");
  }
}

TEST(LzxDecoderRejects, RunsPastTheirPart) {
  // 3 lengths are left in the part; 17 and 19 set at least 4, and 18 at least 20 (from 16).
  for (uint32_t symbol : {17u, 18u, 19u}) {
    PageStream s;
    s.Header();
    s.Block(1, 20);
    s.Pretree();
    s.Lengths(symbol == 18 ? 240 : 253, 9);
    s.Pre(symbol);
    s.Put(0, symbol == 17 ? 4 : symbol == 18 ? 5 : 1);
    if (symbol == 19) s.Pre(8);
    EXPECT_FALSE(DecodeOnePage(s.Record(20), 20)) << "symbol " << symbol;
  }
  {
    PageStream s;  // symbol 19 followed by a run symbol instead of a length
    s.Header();
    s.Block(1, 20);
    s.Pretree();
    s.Pre(19);
    s.Put(0, 1);
    s.Pre(17);
    EXPECT_FALSE(DecodeOnePage(s.Record(20), 20));
  }
}

TEST(LzxDecoderRejects, BadDistancesAndMatchesPastTheBlock) {
  {
    PageStream s;  // a match before anything was produced
    s.Header();
    s.Block(1, 20);
    s.FlatMainTree();
    s.EmptyLengthTree();
    s.Match(3, 4);  // distance 1 at position 0
    EXPECT_FALSE(DecodeOnePage(s.Record(20), 20)) << "distance before the page start";
  }
  {
    PageStream s;  // distance 0 from a repeat offset set by an uncompressed block
    s.Header();
    s.Block(3, 2);
    s.Put(0, 4);
    s.Raw32(0);
    s.Raw32(1);
    s.Raw32(1);
    s.Raw({'x', 'y'});
    s.Block(1, 4);
    s.FlatMainTree();
    s.EmptyLengthTree();
    s.Match(0, 4);
    EXPECT_FALSE(DecodeOnePage(s.Record(6), 6)) << "distance 0";
  }
  {
    PageStream s;  // 18 bytes where the block has 17 left
    s.Header();
    s.Block(1, 20);
    s.FlatMainTree();
    s.FlatLengthTree();
    s.Literal('a');
    s.Literal('b');
    s.Literal('c');
    s.Match(4, 18, 1, 1);
    EXPECT_FALSE(DecodeOnePage(s.Record(20), 20)) << "match past the block end";
  }
  {
    PageStream s;  // uncompressed block whose bytes run past the record
    s.Header();
    s.Block(3, 20);
    s.Put(0, 4);
    s.Raw32(1);
    s.Raw32(1);
    s.Raw32(1);
    s.Raw({'x', 'y'});
    EXPECT_FALSE(DecodeOnePage(s.Record(20), 20)) << "uncompressed block past the record";
  }
}

TEST(LzxDecoderRejects, AStreamThatNeedsBitsBehindItsRecord) {
  Bytes r = AbcRecord();
  // Drop the last word and fix the header's length field: the last bits are now missing.
  ASSERT_GT(r.size(), 24u);
  r.erase(r.end() - 2, r.end());
  const uint32_t csize = static_cast<uint32_t>(r.size() - 16);
  for (int i = 0; i < 4; ++i) r[8 + i] = static_cast<uint8_t>(csize >> (8 * i));
  EXPECT_FALSE(DecodeOnePage(r, 20));
}

TEST(LzxDecoderRejects, FramingThatDoesNotAddUp) {
  const Bytes good = lzxtest::Stream(20, {AbcRecord()});
  auto decode = [](const Bytes& stream, size_t capacity) {
    const codectest::Exact src(stream);
    Bytes out(capacity);
    return DecompressRomStream(PageReading::kEither, src.span(), out);
  };
  ASSERT_EQ(decode(good, 20), 20u);
  EXPECT_EQ(decode(good, 19), kCodecFailure) << "Total above the capacity";
  // Bytes behind the last record are allowed.
  Bytes padded = good;
  padded.push_back(0);
  EXPECT_EQ(decode(padded, 20), 20u);

  auto framing_ok = [](const Bytes& stream) {
    return PageFraming::Read(codectest::Exact(stream).span()).has_value();
  };
  Bytes three(3 + 9 + 30);
  StoreU24(three.data(), 3 * 4096);
  for (uint32_t k = 0; k < 3; ++k) StoreU24(three.data() + 3 + 3 * k, 12 + 10 * (k + 1));
  ASSERT_TRUE(framing_ok(three));
  Bytes same = three;
  StoreU24(same.data() + 6, 22);  // End[1] == End[0]: an empty record
  EXPECT_FALSE(framing_ok(same)) << "End offsets that do not increase";
  Bytes first = three;
  StoreU24(first.data() + 3, 12);  // End[0] at the table's end
  EXPECT_FALSE(framing_ok(first)) << "an empty first record";
  Bytes past = three;
  StoreU24(past.data() + 9, 43);
  EXPECT_FALSE(framing_ok(past)) << "End past the source";
  EXPECT_FALSE(framing_ok(Bytes(three.begin(), three.begin() + 11))) << "table past the source";
  EXPECT_TRUE(framing_ok(Bytes{0, 0, 0}));
  EXPECT_EQ(decode(Bytes{0, 0, 0}, 0), 0u);
  EXPECT_FALSE(framing_ok(Bytes{0, 0, 0, 0})) << "bytes behind the empty stream";
  EXPECT_FALSE(framing_ok(Bytes{0, 0}));
}

}  // namespace
}  // namespace codec
