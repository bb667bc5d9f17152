// Encoder of LZX page records (the coding is described at the top of lzx_decoder.cpp).
//
// Per page: the forward E8 translation, a greedy parse for first statistics, then a
// near-optimal parse (lzx_parser.cpp) run twice, each time priced with the Huffman code that
// the previous parse gets, the smallest of the three kept, and one block covering the page,
// verbatim or aligned offset, whichever comes out smaller. The code lengths are sent with
// the cheapest run codes under the pretree they lead to (a search per run of equal lengths,
// repeated with the pretree found). The
// encoder writes only what the platform's own streams contain: E8 header bit 0, one block per
// page, complete codes (a second symbol of length 1 where only one is used; an all-zero
// length tree where no match is longer than 8), main and length codes of at most 16 bits,
// pretree codes of at most 15, aligned codes of at most 7, and no uncompressed blocks.
#include "compress/lzx_encoder.h"

#include <algorithm>
#include <array>
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

// Parses per page: a greedy one for first statistics, then minimum-cost ones, each priced with
// the code the one before produced.
constexpr uint32_t kPasses = 3;
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

// The pretree symbols for lengths [start, end), against previous lengths of 0 (one block per
// page). Each run of equal lengths is cut into single symbols and run codes (17, 18 for
// zeros, 19 for any value) at the least cost under `cost` (bits of each pretree symbol, extra
// bits included by the caller's choice below), found by a small shortest-path search per run.
void ChooseRuns(const uint8_t* lengths, uint32_t start, uint32_t end,
                const std::array<uint32_t, kPretreeSymbols>& cost, TreePart& part) {
  part.count = 0;
  // Cheapest coding of z equal lengths: best[z], with step[z] the number the last code covers.
  // Zero runs all share one table (computed once, up to kZeroTable); longer ones first give
  // up whole 18-codes of 51.
  constexpr uint32_t kZeroTable = 51 + 19 + 5;
  std::array<uint32_t, kZeroTable + 1> zero_best;
  std::array<uint8_t, kZeroTable + 1> zero_step;
  const uint32_t c17 = cost[17] + 4, c18 = cost[18] + 5;
  auto solve = [&](uint32_t n, uint32_t single, uint32_t c19, bool zero, uint32_t* best,
                   uint8_t* step) {
    best[0] = 0;
    for (uint32_t z = 1; z <= n; ++z) {
      best[z] = best[z - 1] + single;
      step[z] = 1;
      auto consider = [&](uint32_t from, uint32_t to, uint32_t c) {
        for (uint32_t k = from; k <= to && k <= z; ++k) {
          if (best[z - k] + c < best[z]) {
            best[z] = best[z - k] + c;
            step[z] = static_cast<uint8_t>(k);
          }
        }
      };
      consider(4, 5, c19);
      if (zero) {
        consider(4, 19, c17);
        consider(20, 51, c18);
      }
    }
  };
  solve(kZeroTable, cost[0], cost[19] + 1 + cost[0], true, zero_best.data(), zero_step.data());

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
    const uint8_t* steps = zero_step.data();
    if (v == 0) {
      for (; run > kZeroTable; run -= 51) part.symbols[part.count++] = {18, 5, 51 - 20};
    } else {
      solve(run, cost[delta], c19, false, best.data(), step.data());
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

// The pretree-coded part of lengths [start, end): first priced with flat costs, then
// `rounds` more times with the pretree the previous choice gave; the cheapest is kept.
void PrepareTreePart(const uint8_t* lengths, uint32_t start, uint32_t end, TreePart& part,
                     int rounds = 2) {
  std::array<uint32_t, kPretreeSymbols> cost;
  cost.fill(5);
  ChooseRuns(lengths, start, end, cost, part);
  FinishTreePart(part);
  TreePart trial;
  for (int round = 0; round < rounds; ++round) {
    const TreePart& from = round == 0 ? part : trial;
    for (uint32_t sym = 0; sym < kPretreeSymbols; ++sym) {
      cost[sym] = from.lengths[sym] ? from.lengths[sym] : 8;  // unused: what a rare one costs
    }
    ChooseRuns(lengths, start, end, cost, trial);
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
};

// The symbols of the items, with the repeat offsets tracked exactly as the decoder does.
void MakeTokens(const Item* items, uint32_t count, const uint8_t* page, Token* tokens,
                Counts& counts) {
  counts.main.fill(0);
  counts.length.fill(0);
  counts.aligned.fill(0);
  uint32_t r0 = 1, r1 = 1, r2 = 1;
  uint32_t pos = 0;
  for (uint32_t k = 0; k < count; ++k) {
    const Item& item = items[k];
    Token& t = tokens[k];
    if (item.length == 0) {
      t = {page[pos], kNoLengthSymbol, 0, 0};
      ++counts.main[t.main];
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
    t.main = static_cast<uint16_t>(kNumChars + slot * 8 + code);
    t.length = code == 7 ? static_cast<uint16_t>(item.length - 9) : kNoLengthSymbol;
    t.footer = static_cast<uint16_t>(footer);
    t.extra = kExtraBits[slot];
    ++counts.main[t.main];
    if (code == 7) ++counts.length[t.length];
    if (t.extra >= 3) ++counts.aligned[footer & 7];
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

struct BlockSize {
  uint32_t bits;
  bool aligned;  // an aligned-offset block is the smaller
};

// The exact size of the tokens as a verbatim and as an aligned-offset block under `code`; the
// trees' size is estimated with a single choice of run codes (in `parts`).
BlockSize MeasureBlock(const Token* tokens, uint32_t count, const Counts& counts, const Code& code,
                       std::array<TreePart, 3>& parts) {
  uint32_t token_bits = 0, verbatim_footers = 0, aligned_footers = 0;
  for (uint32_t k = 0; k < count; ++k) {
    const Token& tok = tokens[k];
    token_bits += code.main[tok.main];
    if (tok.length != kNoLengthSymbol) token_bits += code.length[tok.length];
    verbatim_footers += tok.extra;
    aligned_footers += tok.extra >= 3 ? tok.extra - 3 + code.aligned[tok.footer & 7] : tok.extra;
  }
  PrepareTreePart(code.main.data(), 0, kNumChars, parts[0], 0);
  PrepareTreePart(code.main.data(), kNumChars, kMainSymbols, parts[1], 0);
  PrepareTreePart(code.length.data(), 0, kLengthSymbols, parts[2], 0);
  const uint32_t trees = parts[0].bits + parts[1].bits + parts[2].bits;
  const bool any_aligned =
      std::any_of(counts.aligned.begin(), counts.aligned.end(), [](uint32_t c) { return c != 0; });
  const uint32_t verbatim = kBlockHeaderBits + trees + token_bits + verbatim_footers;
  const uint32_t with_aligned = kBlockHeaderBits + trees + token_bits + aligned_footers +
                                kAlignedSymbols * kAlignedLengthBits;
  const bool use_aligned = any_aligned && with_aligned < verbatim;
  return {use_aligned ? with_aligned : verbatim, use_aligned};
}

// Prices every symbol with `code` for the next parse; an unused symbol costs as much as the
// longest code in use plus one bit.
void PriceCode(const Code& code, bool aligned_block, CostModel& costs) {
  auto price = [](const uint8_t* lengths, uint32_t n_symbols, uint32_t* out_costs) {
    uint32_t deepest = 1;
    for (uint32_t s = 0; s < n_symbols; ++s) deepest = std::max<uint32_t>(deepest, lengths[s]);
    for (uint32_t s = 0; s < n_symbols; ++s) {
      out_costs[s] = (lengths[s] ? lengths[s] : std::min(deepest + 1, kMaxCodeLength)) * kCostScale;
    }
  };
  price(code.main.data(), kMainSymbols, costs.main.data());
  price(code.length.data(), kLengthSymbols, costs.length.data());
  price(code.aligned.data(), kAlignedSymbols, costs.aligned.data());
  costs.aligned_block = aligned_block;
}

}  // namespace

struct LzxPageEncoder::Tables {
  std::array<uint8_t, kPageSize> page;
  std::array<Item, kPageSize> items;
  std::array<Token, kPageSize> tokens;
  std::array<TreePart, 3> parts;
  Counts counts;
  Code code;
  // The smallest block found so far.
  std::array<Token, kPageSize> best_tokens;
  Code best_code;
  uint32_t best_count;
  bool best_aligned;
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
  CostModel costs{};  // set from the greedy pass before any minimum-cost pass reads it
  uint32_t best_bits = UINT32_MAX;
  for (uint32_t pass = 0; pass < kPasses; ++pass) {
    const uint32_t count =
        pass == 0 ? parser_->GreedyParse(t.items.data()) : parser_->Parse(costs, t.items.data());
    MakeTokens(t.items.data(), count, t.page.data(), t.tokens.data(), t.counts);
    BuildCode(t.counts, t.code);
    const BlockSize size = MeasureBlock(t.tokens.data(), count, t.counts, t.code, t.parts);
    if (size.bits < best_bits) {
      best_bits = size.bits;
      t.best_count = count;
      t.best_aligned = size.aligned;
      t.best_code = t.code;
      std::copy(t.tokens.begin(), t.tokens.begin() + count, t.best_tokens.begin());
    }
    if (pass + 1 < kPasses) PriceCode(t.code, size.aligned, costs);
  }
}

std::optional<size_t> LzxPageEncoder::WriteRecord(uint32_t n, std::span<uint8_t> out) {
  Tables& t = *t_;
  const Code& code = t.best_code;
  const size_t front = kLzxRecordHeaderSize + kLzxSignatureSize;
  if (out.size() < front) return std::nullopt;
  PrepareTreePart(code.main.data(), 0, kNumChars, t.parts[0]);
  PrepareTreePart(code.main.data(), kNumChars, kMainSymbols, t.parts[1]);
  PrepareTreePart(code.length.data(), 0, kLengthSymbols, t.parts[2]);
  std::array<uint16_t, kMainSymbols> main_codes;
  std::array<uint16_t, kLengthSymbols> length_codes;
  std::array<uint16_t, kAlignedSymbols> aligned_codes;
  CanonicalCodes(code.main.data(), kMainSymbols, main_codes.data());
  CanonicalCodes(code.length.data(), kLengthSymbols, length_codes.data());
  CanonicalCodes(code.aligned.data(), kAlignedSymbols, aligned_codes.data());

  // The bit stream behind the header and signature.
  LzxBitWriter w(out.subspan(front));
  w.Put(0, 1);  // E8 header bit
  w.Put(t.best_aligned ? kBlockAligned : kBlockVerbatim, 3);
  w.Put(n, 24);
  if (t.best_aligned) {
    for (uint8_t l : code.aligned) w.Put(l, kAlignedLengthBits);
  }
  for (const TreePart& part : t.parts) WriteTreePart(part, w);
  for (uint32_t k = 0; k < t.best_count; ++k) {
    const Token& tok = t.best_tokens[k];
    w.Put(main_codes[tok.main], code.main[tok.main]);
    if (tok.length != kNoLengthSymbol) w.Put(length_codes[tok.length], code.length[tok.length]);
    if (t.best_aligned && tok.extra >= 3) {
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
