// Encoder of LZX page records (the coding is described at the top of lzx_decoder.cpp).
//
// Per page: the forward E8 translation; a greedy parse, then a lazy parse priced with what the
// symbols of the greedy one cost (-log2 of their share), whose symbols price the near-optimal
// parse (lzx_parser.cpp) that is written; one block covering the page, verbatim or aligned
// offset, whichever comes out smaller. The code lengths are sent with the cheapest run
// codes under the pretree they lead to (a search per run of equal lengths, repeated with the
// pretree found). The encoder writes only what the platform's own streams contain: E8 header
// bit 0, one block per page, complete codes (a second symbol of length 1 where only one is
// used; an all-zero length tree where no match is longer than 8), main and length codes of at
// most 16 bits, pretree codes of at most 15, aligned codes of at most 7, and no uncompressed
// blocks.
#include "compress/lzx_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

#include "bytes/byte_order.h"
#include "compress/e8_translation.h"
#include "compress/huffman_builder.h"
#include "compress/lzx_bit_writer.h"
#include "compress/lzx_constants.h"
#include "compress/lzx_decoder.h"
#include "compress/lzx_parser.h"
#include "compress/page_framing.h"

namespace codec {

namespace {

using namespace lzx;

// Lazy parses per page that price the minimum-cost one, each priced with the symbols of the
// parse before (the first with those of a greedy parse). A second one gained 0.03 % on text
// for 7 % of the time.
constexpr uint32_t kLazyParses = 1;
// Choices of the run codes of the trees written, each under the pretree of the one before.
constexpr uint32_t kRefineRounds = 2;
constexpr uint16_t kNoLengthSymbol = 0xFFFF;
constexpr uint32_t kPretreeLengthBits = 4;
constexpr uint32_t kAlignedLengthBits = 3;
constexpr uint32_t kBlockHeaderBits = 1 + 3 + 24;

struct Token {
  uint16_t main;
  uint16_t length;  // length-tree symbol, or kNoLengthSymbol
  uint16_t footer;
  uint8_t extra;  // footer bits
};

// One symbol of a pretree-coded part, with the bits that follow it.
struct PretreeSymbol {
  uint8_t symbol;
  uint8_t extra_bits;
  uint8_t extra;
};

// A pretree-coded part of the code lengths, ready to be written.
struct TreePart {
  std::array<uint8_t, kPretreeSymbols> lengths;
  std::array<uint16_t, kPretreeSymbols> codes;
  std::array<PretreeSymbol, kMainSymbols> symbols;
  uint32_t count = 0;
  uint32_t bits = 0;
};

// The code lengths of one block and what they cost.
struct Code {
  std::array<uint8_t, kMainSymbols> main;
  std::array<uint8_t, kLengthSymbols> length;
  std::array<uint8_t, kAlignedSymbols> aligned;
};

// Cheapest coding of z equal lengths, for z = 0 .. n: best[z], with step[z] the number of
// lengths the last code covers (1: a single symbol at `single`). Runs of 4 or 5 cost c19
// each; for zeros (c17 != 0) also runs of 4 to 19 at c17 and of 20 to 51 at c18. Among equal
// costs the fewest lengths in the last code win.
void SolveRuns(uint32_t n, uint32_t single, uint32_t c19, uint32_t c17, uint32_t c18,
               uint32_t* best, uint8_t* step) {
  // The minima over the windows best[z - 19 .. z - 4] and best[z - 51 .. z - 20], kept as
  // queues of indices with increasing costs (the later index first among equal costs).
  struct Window {
    std::array<uint8_t, 64> index;
    uint32_t head = 0, tail = 0;
    void Add(const uint32_t* best, uint32_t j) {
      while (tail > head && best[index[tail - 1]] >= best[j]) --tail;
      index[tail++] = static_cast<uint8_t>(j);
    }
    void DropBelow(uint32_t j) {
      while (head < tail && index[head] < j) ++head;
    }
  };
  Window w17, w18;
  best[0] = 0;
  for (uint32_t z = 1; z <= n; ++z) {
    uint32_t b = best[z - 1] + single;
    uint32_t k_best = 1;
    for (uint32_t k = 4; k <= 5 && k <= z; ++k) {
      if (best[z - k] + c19 < b) {
        b = best[z - k] + c19;
        k_best = k;
      }
    }
    if (c17 != 0 && z >= 4) {
      w17.Add(best, z - 4);
      if (z >= 19) w17.DropBelow(z - 19);
      if (const uint32_t j = w17.index[w17.head]; best[j] + c17 < b) {
        b = best[j] + c17;
        k_best = z - j;
      }
      if (z >= 20) {
        w18.Add(best, z - 20);
        if (z >= 51) w18.DropBelow(z - 51);
        if (const uint32_t j = w18.index[w18.head]; best[j] + c18 < b) {
          b = best[j] + c18;
          k_best = z - j;
        }
      }
    }
    best[z] = b;
    step[z] = static_cast<uint8_t>(k_best);
  }
}

// The cheapest coding of runs of zeros up to kLongest, for one set of pretree costs.
struct ZeroRuns {
  static constexpr uint32_t kLongest = 51 + 19 + 5;  // longer runs first give up 18-codes of 51
  std::array<uint32_t, 4> key{};                     // the costs of 0, 17, 18, 19
  uint32_t solved = 0;                               // best and step hold 0 .. solved
  std::array<uint32_t, kLongest + 1> best;
  std::array<uint8_t, kLongest + 1> step;
};

// The tables of the last few sets of costs: the same costs come back for every part of every
// page (the first, flat pricing) and within a page (a pretree that a refinement leaves as it
// was).
struct ZeroRunCache {
  std::array<ZeroRuns, 4> tables;
  uint32_t next = 0;  // the table a new set of costs replaces

  const ZeroRuns& Solve(const std::array<uint32_t, kPretreeSymbols>& cost, uint32_t longest) {
    const std::array<uint32_t, 4> key = {cost[0], cost[17], cost[18], cost[19]};
    ZeroRuns* zeros = nullptr;
    for (ZeroRuns& z : tables) {
      if (z.key == key) zeros = &z;
    }
    if (zeros == nullptr) {
      zeros = &tables[next];
      next = (next + 1) % tables.size();
      zeros->key = key;
      zeros->solved = 0;
    }
    if (longest > zeros->solved) {
      // The costs of the shorter runs do not depend on the longest one solved.
      zeros->solved = longest;
      SolveRuns(longest, cost[0], cost[19] + 1 + cost[0], cost[17] + 4, cost[18] + 5,
                zeros->best.data(), zeros->step.data());
    }
    return *zeros;
  }
};

// The pretree symbols for lengths [start, end), against previous lengths of 0 (one block per
// page). Each run of equal lengths is cut into single symbols and run codes (17, 18 for
// zeros, 19 for any value) at the least cost under `cost` (bits of each pretree symbol, extra
// bits included by the caller's choice below).
void ChooseRuns(const uint8_t* lengths, uint32_t start, uint32_t end,
                const std::array<uint32_t, kPretreeSymbols>& cost, ZeroRunCache& cache,
                TreePart& part) {
  part.count = 0;
  const uint32_t c17 = cost[17] + 4;
  uint32_t longest_zeros = 0;
  for (uint32_t i = start; i < end; ++i) {
    uint32_t run = 0;
    while (i + run < end && lengths[i + run] == 0) ++run;
    longest_zeros = std::max(longest_zeros, run);
    i += run;
  }
  const ZeroRuns& zeros = cache.Solve(cost, std::min(longest_zeros, ZeroRuns::kLongest));

  std::array<uint32_t, kMainSymbols + 1> best;
  std::array<uint8_t, kMainSymbols + 1> step;
  std::array<uint8_t, kMainSymbols + 1> order;
  for (uint32_t i = start; i < end;) {
    const uint8_t v = lengths[i];
    uint32_t run = 1;
    while (i + run < end && lengths[i + run] == v) ++run;
    i += run;
    const uint32_t delta = (17 - v) % 17;  // (previous 0 - length) mod 17
    const uint32_t c19 = cost[19] + 1 + cost[delta];
    if (v != 0 && run < 4) {
      // Too short for a run code: single lengths.
      for (; run > 0; --run) part.symbols[part.count++] = {static_cast<uint8_t>(delta), 0, 0};
      continue;
    }
    const uint8_t* steps = zeros.step.data();
    if (v == 0) {
      for (; run > ZeroRuns::kLongest; run -= 51) part.symbols[part.count++] = {18, 5, 51 - 20};
    } else {
      SolveRuns(run, cost[delta], c19, 0, 0, best.data(), step.data());
      steps = step.data();
    }
    // The chosen codes, last first; written in order.
    uint32_t codes = 0;
    for (uint32_t z = run; z > 0; z -= steps[z]) order[codes++] = steps[z];
    while (codes > 0) {
      const uint32_t k = order[--codes];
      if (k == 1) {
        part.symbols[part.count++] = {static_cast<uint8_t>(delta), 0, 0};
      } else if (v == 0 && k >= 20) {
        part.symbols[part.count++] = {18, 5, static_cast<uint8_t>(k - 20)};
      } else if (v == 0 && (k > 5 || c17 <= c19)) {
        part.symbols[part.count++] = {17, 4, static_cast<uint8_t>(k - 4)};
      } else {
        part.symbols[part.count++] = {19, 1, static_cast<uint8_t>(k - 4)};
        part.symbols[part.count++] = {static_cast<uint8_t>(delta), 0, 0};
      }
    }
  }
}

// Counts the symbols, builds the pretree and sums the part's bits.
void FinishTreePart(TreePart& part) {
  std::array<uint32_t, kPretreeSymbols> counts{};
  for (uint32_t k = 0; k < part.count; ++k) ++counts[part.symbols[k].symbol];
  BuildHuffmanLengths(counts.data(), kPretreeSymbols, kPretreeMaxLength, part.lengths.data());
  CanonicalCodes(part.lengths.data(), kPretreeSymbols, part.codes.data());
  part.bits = kPretreeSymbols * kPretreeLengthBits;
  for (uint32_t k = 0; k < part.count; ++k) {
    part.bits += part.lengths[part.symbols[k].symbol] + part.symbols[k].extra_bits;
  }
}

// The pretree-coded part of lengths [start, end): its run codes chosen under flat costs, then
// kRefineRounds times more under the pretree the choice before led to; the cheapest is kept.
void PrepareTreePart(const uint8_t* lengths, uint32_t start, uint32_t end, ZeroRunCache& zeros,
                     TreePart& part) {
  std::array<uint32_t, kPretreeSymbols> cost;
  cost.fill(5);
  ChooseRuns(lengths, start, end, cost, zeros, part);
  FinishTreePart(part);
  TreePart trial;
  for (uint32_t round = 0; round < kRefineRounds; ++round) {
    const TreePart& from = round == 0 ? part : trial;
    for (uint32_t sym = 0; sym < kPretreeSymbols; ++sym) {
      cost[sym] = from.lengths[sym] ? from.lengths[sym] : 8;  // unused: what a rare one costs
    }
    ChooseRuns(lengths, start, end, cost, zeros, trial);
    FinishTreePart(trial);
    if (trial.bits < part.bits) part = trial;
  }
}

void WriteTreePart(const TreePart& part, LzxBitWriter& out) {
  for (uint8_t l : part.lengths) out.Put(l, kPretreeLengthBits);
  for (uint32_t k = 0; k < part.count; ++k) {
    const PretreeSymbol& s = part.symbols[k];
    out.Put(part.codes[s.symbol], part.lengths[s.symbol]);
    out.Put(s.extra, s.extra_bits);
  }
}

// Symbol counts of one parse.
struct Counts {
  std::array<uint32_t, kMainSymbols> main;
  std::array<uint32_t, kLengthSymbols> length;
  std::array<uint32_t, kAlignedSymbols> aligned;
  uint32_t footer_bits;  // all footers as raw bits
};

// The symbols of the items, with the repeat offsets tracked exactly as the decoder does.
void MakeTokens(const Item* items, uint32_t count, const uint8_t* page, Token* tokens,
                Counts& counts) {
  counts.main.fill(0);
  counts.length.fill(0);
  counts.aligned.fill(0);
  counts.footer_bits = 0;
  uint32_t r0 = 1, r1 = 1, r2 = 1;
  uint32_t pos = 0;
  for (uint32_t k = 0; k < count; ++k) {
    const Item& item = items[k];
    if (item.length == 0) {
      if (tokens) tokens[k] = {page[pos], kNoLengthSymbol, 0, 0};
      ++counts.main[page[pos]];
      ++pos;
      continue;
    }
    const uint32_t d = item.distance;
    uint32_t slot = 0, footer = 0;
    if (d == r0) {
      slot = 0;
    } else if (d == r1) {
      slot = 1;
      std::swap(r0, r1);
    } else if (d == r2) {
      slot = 2;
      std::swap(r0, r2);
    } else {
      slot = SlotOf(d + 2);
      footer = d + 2 - kSlotBase[slot];
      r2 = r1;
      r1 = r0;
      r0 = d;
    }
    const uint32_t code = std::min<uint32_t>(item.length - kMinMatch, 7);
    const Token t = {static_cast<uint16_t>(kNumChars + slot * 8 + code),
                     code == 7 ? static_cast<uint16_t>(item.length - 9) : kNoLengthSymbol,
                     static_cast<uint16_t>(footer), kExtraBits[slot]};
    if (tokens) tokens[k] = t;
    ++counts.main[t.main];
    if (code == 7) ++counts.length[t.length];
    if (t.extra >= 3) ++counts.aligned[footer & 7];
    counts.footer_bits += t.extra;
    pos += item.length;
  }
}

// The Huffman code of the counts.
void BuildCode(const Counts& counts, Code& code) {
  BuildHuffmanLengths(counts.main.data(), kMainSymbols, kMaxCodeLength, code.main.data());
  BuildHuffmanLengths(counts.length.data(), kLengthSymbols, kMaxCodeLength, code.length.data());
  BuildHuffmanLengths(counts.aligned.data(), kAlignedSymbols, kAlignedMaxLength,
                      code.aligned.data());
}

// The bits of the tokens under `code`, apart from the trees.
struct TokenBits {
  uint32_t symbols = 0;           // main and length symbols
  uint32_t verbatim_footers = 0;  // footers as raw bits
  uint32_t aligned_footers = 0;   // footers of 3 or more bits ending in an aligned symbol
  // An aligned-offset block codes the footers in fewer bits, its aligned tree included.
  [[nodiscard]] bool AlignedSmaller() const {
    return aligned_footers + kAlignedSymbols * kAlignedLengthBits < verbatim_footers;
  }
};

TokenBits CountTokenBits(const Token* tokens, uint32_t count, const Code& code) {
  TokenBits b;
  for (uint32_t k = 0; k < count; ++k) {
    const Token& tok = tokens[k];
    b.symbols += code.main[tok.main];
    if (tok.length != kNoLengthSymbol) b.symbols += code.length[tok.length];
    b.verbatim_footers += tok.extra;
    b.aligned_footers += tok.extra >= 3 ? tok.extra - 3 + code.aligned[tok.footer & 7] : tok.extra;
  }
  return b;
}

// log2(x) in units of 2^-12, rounded down, for x >= 1 (by repeated squaring, so the same on
// every machine).
constexpr uint32_t Log2Fixed(uint32_t x) {
  const auto e = static_cast<uint32_t>(31 - std::countl_zero(x));
  uint64_t m = uint64_t{x} << (31 - e);  // x / 2^e in [1, 2), 31 fraction bits
  uint32_t fraction = 0;
  for (int bit = 11; bit >= 0; --bit) {
    m = m * m >> 31;
    if (m >= uint64_t{1} << 32) {
      m >>= 1;
      fraction |= 1u << bit;
    }
  }
  return e << 12 | fraction;
}
static_assert(kCostScale == 16);           // costs below convert from 2^-12 bits by a shift of 8
constexpr uint32_t kMaxCount = kPageSize;  // no symbol occurs more often than a page has bytes
constexpr std::array<uint32_t, kMaxCount + 1> kLog2 = [] {
  std::array<uint32_t, kMaxCount + 1> t{};
  for (uint32_t x = 1; x <= kMaxCount; ++x) t[x] = Log2Fixed(x);
  return t;
}();
static_assert(kLog2[1] == 0 && kLog2[2] == 4096 && kLog2[4096] == 12 * 4096);

// Prices the symbols for the next parse by what they cost in the parse that was counted:
// -log2 of each one's share (at least half a bit); an unused symbol costs as much as the
// longest code in use plus one bit.
// -log2 of the share of a symbol that occurs `count` times in `total`, in 2^-12 bits.
uint32_t ShareBits(uint32_t count, uint32_t total) { return kLog2[total] - kLog2[count]; }

// Prices the symbols for the next parse by what they cost in the parse that was counted:
// -log2 of each one's share (at least half a bit); an unused symbol costs one bit more than
// the rarest used one, as the longest code would.
void PriceSymbols(const uint32_t* counts, uint32_t n_symbols, uint32_t* costs) {
  uint32_t total = 0, rarest = UINT32_MAX;
  for (uint32_t s = 0; s < n_symbols; ++s) {
    total += counts[s];
    if (counts[s] != 0) rarest = std::min(rarest, counts[s]);
  }
  const uint32_t deepest = total == 0 ? 1 : (ShareBits(rarest, total) + 4095) >> 12;
  const uint32_t unused = std::min(deepest + 1, kMaxCodeLength) * kCostScale;
  for (uint32_t s = 0; s < n_symbols; ++s) {
    if (counts[s] == 0) {
      costs[s] = unused;
      continue;
    }
    const uint32_t c = (ShareBits(counts[s], total) + 128) >> 8;  // 2^-12 to 2^-4 bits
    costs[s] = std::max(c, kCostScale / 2);
  }
}

// Prices for the next parse from the symbols counted in the last one; footers of 3 bits or
// more end in an aligned symbol where that coding comes out smaller.
void PriceCounts(const Counts& counts, CostModel& costs) {
  PriceSymbols(counts.main.data(), kMainSymbols, costs.main.data());
  PriceSymbols(counts.length.data(), kLengthSymbols, costs.length.data());
  PriceSymbols(counts.aligned.data(), kAlignedSymbols, costs.aligned.data());
  uint32_t aligned_total = 0;
  uint64_t aligned_bits = 0;  // of the aligned symbols, in 2^-12 bits
  for (uint32_t c : counts.aligned) aligned_total += c;
  for (uint32_t c : counts.aligned) {
    if (c != 0) aligned_bits += uint64_t{c} * ShareBits(c, aligned_total);
  }
  costs.aligned_block =
      (aligned_bits >> 12) + kAlignedSymbols * kAlignedLengthBits < uint64_t{3} * aligned_total;
}

}  // namespace

struct LzxPageEncoder::Tables {
  std::array<uint8_t, kPageSize> page;
  std::array<Item, kPageSize> items;
  Counts counts;
  // The block: its tokens, code, block type and the trees' run codes.
  std::array<Token, kPageSize> tokens;
  uint32_t count;
  Code code;
  bool aligned;
  std::array<TreePart, 3> parts;
  ZeroRunCache zeros;
};

std::unique_ptr<LzxPageEncoder> LzxPageEncoder::Create() {
  std::unique_ptr<LzxPageEncoder> e(new (std::nothrow) LzxPageEncoder());
  if (!e) return nullptr;
  e->parser_ = LzxParser::Create();
  e->t_.reset(new (std::nothrow) Tables());
  if (!e->parser_ || !e->t_) return nullptr;
  return e;
}

LzxPageEncoder::~LzxPageEncoder() = default;

std::optional<size_t> LzxPageEncoder::Encode(std::span<const uint8_t> page,
                                             std::span<uint8_t> out) {
  Tables& t = *t_;
  const auto n = static_cast<uint32_t>(page.size());
  if (n == 0 || n > kPageSize) return std::nullopt;
  std::memcpy(t.page.data(), page.data(), n);
  ApplyE8Translation(std::span(t.page.data(), n));
  parser_->FindMatches(std::span<const uint8_t>(t.page.data(), n));
  ChooseBlock();
  return WriteRecord(n, out);
}

void LzxPageEncoder::ChooseBlock() {
  Tables& t = *t_;
  // Prices: the symbols of a greedy parse, then of lazy parses each priced with the symbols of
  // the parse before.
  CostModel costs;
  uint32_t count = parser_->GreedyParse(t.items.data());
  MakeTokens(t.items.data(), count, t.page.data(), nullptr, t.counts);
  PriceCounts(t.counts, costs);
  for (uint32_t round = 0; round < kLazyParses; ++round) {
    count = parser_->LazyParse(costs, t.items.data());
    MakeTokens(t.items.data(), count, t.page.data(), nullptr, t.counts);
    PriceCounts(t.counts, costs);
  }

  t.count = parser_->Parse(costs, t.items.data());
  MakeTokens(t.items.data(), t.count, t.page.data(), t.tokens.data(), t.counts);
  BuildCode(t.counts, t.code);
  t.aligned = CountTokenBits(t.tokens.data(), t.count, t.code).AlignedSmaller();
}

std::optional<size_t> LzxPageEncoder::WriteRecord(uint32_t n, std::span<uint8_t> out) {
  Tables& t = *t_;
  const Code& code = t.code;
  const size_t front = kLzxRecordHeaderSize + kLzxSignatureSize;
  if (out.size() < front) return std::nullopt;
  PrepareTreePart(code.main.data(), 0, kNumChars, t.zeros, t.parts[0]);
  PrepareTreePart(code.main.data(), kNumChars, kMainSymbols, t.zeros, t.parts[1]);
  PrepareTreePart(code.length.data(), 0, kLengthSymbols, t.zeros, t.parts[2]);
  std::array<uint16_t, kMainSymbols> main_codes;
  std::array<uint16_t, kLengthSymbols> length_codes;
  std::array<uint16_t, kAlignedSymbols> aligned_codes;
  CanonicalCodes(code.main.data(), kMainSymbols, main_codes.data());
  CanonicalCodes(code.length.data(), kLengthSymbols, length_codes.data());
  CanonicalCodes(code.aligned.data(), kAlignedSymbols, aligned_codes.data());

  // The bit stream behind the header and signature.
  LzxBitWriter w(out.subspan(front));
  w.Put(0, 1);  // E8 header bit
  w.Put(t.aligned ? kBlockAligned : kBlockVerbatim, 3);
  w.Put(n, 24);
  if (t.aligned) {
    for (uint8_t l : code.aligned) w.Put(l, kAlignedLengthBits);
  }
  for (const TreePart& part : t.parts) WriteTreePart(part, w);
  for (uint32_t k = 0; k < t.count; ++k) {
    const Token& tok = t.tokens[k];
    w.Put(main_codes[tok.main], code.main[tok.main]);
    if (tok.length != kNoLengthSymbol) w.Put(length_codes[tok.length], code.length[tok.length]);
    if (t.aligned && tok.extra >= 3) {
      w.Put(tok.footer >> 3, tok.extra - 3u);
      w.Put(aligned_codes[tok.footer & 7], code.aligned[tok.footer & 7]);
    } else {
      w.Put(tok.footer, tok.extra);
    }
  }
  w.Flush();
  if (w.full()) return std::nullopt;

  const size_t size = front + w.written();
  uint8_t* p = out.data();
  bytes::StoreLe32(p, kLzxRecordHeaderSize);
  bytes::StoreLe32(p + 4, n);
  bytes::StoreLe32(p + 8, static_cast<uint32_t>(size - kLzxRecordHeaderSize));
  bytes::StoreLe32(p + 12, n);
  bytes::StoreLe32(p + 16, kLzxSignature);
  return size;
}

}  // namespace codec
