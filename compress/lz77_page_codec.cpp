// The older page coding of compressed ROM streams (images of the year-2000 generation):
// byte-aligned LZ77 records, decoder and encoder.
//
// Framing (Total, End table, 4096-byte pages) is described in page_framing.cpp; a record of
// this coding has no header. "Output" is the decoded data of the current page, and positions
// count from the page's first byte; nothing refers to another page.
//
// A record is a sequence of groups: one flag byte, then up to 8 items. Flag bit j (from bit 0,
// the least significant) describes item j: 0 is a literal byte, 1 a match token. Let b0 be a
// token's first byte and n = b0 & 15:
//
//   n = 1     1 byte   length 2 from d = (b0 >> 4) + 2 bytes back (2 .. 17)
//   n = 2-15  2 bytes  length n + 1 (3 .. 16) from absolute position P = (b0 >> 4) | b1 << 4
//   n = 0     3 bytes  length b2 + 17 (17 .. 272) from absolute position P, as above
//
// A copy runs byte by byte: out[cur + i] = out[src + i]. Decoding stops as soon as the page
// is complete, also inside a group (the remaining flag bits are unused), and the record must
// end exactly there. Errors: a record that runs out before the page is complete, a source at
// or beyond the output written so far, a copy past the page end, bytes left over.
//
// The encoder writes what the platform's own streams contain: copies never overlap their own
// output (length <= cur - src), among equally long matches the most recent position is used,
// and unused flag bits of the last group are 0. Incompressible data takes 9 bits a byte.
// Where the platform's encoder takes greedy longest matches, this one chooses the cheapest
// sequence of items for the whole page (every item's cost is known exactly: 9 bits for a
// literal or a short token, 17 and 25 bits for the longer tokens).
#include "compress/lz77_page_codec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>

#include "compress/match_search.h"
#include "compress/page_framing.h"

namespace codec {

namespace {

constexpr uint32_t kShortLength = 2;
constexpr uint32_t kMaxShortDistance = 17;
constexpr uint32_t kMinMidLength = 3;
constexpr uint32_t kMaxMidLength = 16;
constexpr uint32_t kMaxLongLength = 272;

// Item costs in bits, flag bit included.
constexpr uint32_t kLiteralCost = 9;
constexpr uint32_t kShortCost = 9;
constexpr uint32_t kMidCost = 17;
constexpr uint32_t kLongCost = 25;

// Hash chains over 3-byte prefixes; candidates looked at per position.
constexpr uint32_t kHashBits = 12;
constexpr uint32_t kMaxCandidates = 96;
// A copy this long is taken whole: positions inside it are not searched.
constexpr uint32_t kNiceLength = 32;
constexpr uint16_t kNone = 0xFFFF;

// Range minima over the costs of positions 0 .. kPageSize: keys of single positions and the
// minimum of each block of them.
constexpr uint32_t kKeySpan = 8192;  // keys hold (cost << 13) | (kKeySpan - 1 - position)
constexpr uint32_t kBlockBits = 4;
constexpr uint32_t kBlocks = (kPageSize >> kBlockBits) + 1;

}  // namespace

bool DecodeLz77Page(std::span<const uint8_t> record, std::span<uint8_t> page) {
  const uint8_t* in = record.data();
  const uint8_t* const in_end = in + record.size();
  uint8_t* const out_begin = page.data();
  uint8_t* out = out_begin;
  uint8_t* const out_end = out_begin + page.size();
  while (out != out_end) {
    if (in == in_end) return false;
    const uint32_t flags = *in++;
    if (flags == 0 && in_end - in >= 8 && out_end - out >= 8) {  // eight literals
      std::memcpy(out, in, 8);
      in += 8;
      out += 8;
      continue;
    }
    for (uint32_t bit = 0; bit < 8 && out != out_end; ++bit) {
      if (in == in_end) return false;
      if ((flags >> bit & 1) == 0) {
        *out++ = *in++;
        continue;
      }
      const uint32_t b0 = *in++;
      const uint32_t code = b0 & 15;
      const auto cur = static_cast<size_t>(out - out_begin);
      size_t src = 0;
      size_t length = 0;
      if (code == 1) {
        const size_t distance = (b0 >> 4) + 2;
        if (distance > cur) return false;
        src = cur - distance;
        length = kShortLength;
      } else {
        if (in_end - in < (code == 0 ? 2 : 1)) return false;
        src = (b0 >> 4) | static_cast<size_t>(*in++) << 4;
        length = code == 0 ? *in++ + 17u : code + 1u;
        if (src >= cur) return false;
      }
      const auto room = static_cast<size_t>(out_end - out);
      if (length > room) return false;
      const uint8_t* from = out_begin + src;
      if (cur - src >= 16 && ((length + 15) & ~size_t{15}) <= room) {
        // Sixteen bytes at a time; what the last chunk writes past the copy is written again
        // by what follows, inside the page.
        for (size_t i = 0; i < length; i += 16) std::memcpy(out + i, from + i, 16);
      } else {
        for (size_t i = 0; i < length; ++i) out[i] = from[i];  // may repeat its own output
      }
      out += length;
    }
  }
  return in == in_end;
}

struct Lz77PageEncoder::Tables {
  std::array<uint8_t, kPageSize + 8> data;  // the page, with room for 8-byte compares
  std::array<uint16_t, 1u << kHashBits> head;
  std::array<uint16_t, kPageSize> prev;           // the position before it with the same hash
  std::array<uint16_t, kPageSize> run_start;      // first byte of the run of equal bytes
  std::array<uint16_t, kPageSize + 1> run_end;    // first byte behind that run
  std::array<uint16_t, kPageSize> longest;        // longest copy at each position (0: none)
  std::array<uint8_t, kPageSize> short_distance;  // distance of a 2-byte short token, or 0
  std::array<uint16_t, kPageSize + 1> choice;     // 0 literal, else the copy length taken
  std::array<uint32_t, kPageSize + 1> cost;       // bits from a position to the page end
  std::array<uint64_t, kPageSize + 1> keys;       // of each position, see kKeySpan
  std::array<uint64_t, kBlocks> block_min;        // of each block of 16 positions
};

namespace {

struct Copy {
  uint16_t length;
  uint16_t src;
  bool in_run;  // inside a run of one byte value: any shorter copy can start later
};

// The copies possible at `cur`, each the most recent source for every length up to its own,
// in order of increasing length (and so of decreasing source). Copies never overlap their
// output. Returns how many were written to `out` (at most kMaxCandidates + 1).
template <typename Tables>
uint32_t FindCopies(const Tables& t, const uint8_t* data, uint32_t n, uint32_t cur, Copy* out) {
  const uint32_t max_length = std::min(kMaxLongLength, n - cur);
  if (max_length < kMinMidLength) return 0;
  uint32_t count = 0;
  uint32_t best = kMinMidLength - 1;
  const uint8_t* here = data + cur;
  // Inside a run of one byte value, sources in the run give no more than the run's own
  // candidate below.
  const bool in_run = cur > 0 && data[cur - 1] == data[cur];
  const uint32_t run_start = in_run ? t.run_start[cur - 1] : cur;
  uint32_t depth = 0;
  for (uint32_t src = t.prev[cur]; src != kNone && depth < kMaxCandidates;
       src = t.prev[src], ++depth) {
    if (src >= run_start) continue;
    const uint32_t limit = std::min(max_length, cur - src);
    if (limit <= best) continue;
    const uint8_t* there = data + src;
    if (there[best] != here[best]) continue;
    const uint32_t len = CommonPrefix(there, here, limit);
    if (len > best) {
      best = len;
      out[count++] = {static_cast<uint16_t>(len), static_cast<uint16_t>(src), false};
      if (best == max_length) return count;
    }
  }
  // Runs of one byte value: the source that lies as far back in the run as the copy is long.
  if (in_run) {
    const uint32_t len = std::min({cur - run_start, t.run_end[cur] - cur, max_length});
    if (len > best) {
      const auto src = static_cast<uint16_t>(cur - len);
      // Keep the list ordered by source: drop what is older and not longer.
      uint32_t keep = 0;
      while (keep < count && out[keep].src > src) ++keep;
      count = keep;
      out[count++] = {static_cast<uint16_t>(len), src, true};
    }
  }
  return count;
}

}  // namespace

std::unique_ptr<Lz77PageEncoder> Lz77PageEncoder::Create() {
  std::unique_ptr<Lz77PageEncoder> e(new (std::nothrow) Lz77PageEncoder());
  if (!e) return nullptr;
  e->tables_.reset(new (std::nothrow) Tables());
  if (!e->tables_) return nullptr;
  return e;
}

Lz77PageEncoder::~Lz77PageEncoder() = default;

std::optional<size_t> Lz77PageEncoder::Encode(std::span<const uint8_t> page,
                                              std::span<uint8_t> out) {
  Tables& t = *tables_;
  const auto n = static_cast<uint32_t>(page.size());
  if (n == 0 || n > kPageSize) return std::nullopt;
  std::memcpy(t.data.data(), page.data(), n);
  std::memset(t.data.data() + n, 0, 8);
  FindAllCopies(n);
  ChooseItems(n);
  return WriteItems(n, out);
}

void Lz77PageEncoder::FindAllCopies(uint32_t n) {
  Tables& t = *tables_;
  const uint8_t* data = t.data.data();
  t.head.fill(kNone);
  for (uint32_t i = 0; i < n; ++i) {
    t.run_start[i] =
        static_cast<uint16_t>(i > 0 && data[i - 1] == data[i] ? t.run_start[i - 1] : i);
  }
  t.run_end[n] = static_cast<uint16_t>(n);
  for (uint32_t i = n; i-- > 0;) {
    t.run_end[i] =
        static_cast<uint16_t>(i + 1 < n && data[i + 1] == data[i] ? t.run_end[i + 1] : i + 1);
  }
  std::array<Copy, kMaxCandidates + 1> copies;
  uint32_t skip_until = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (i + 3 <= n) {
      const uint32_t h = Hash3<kHashBits>(data + i);
      t.prev[i] = t.head[h];
      t.head[h] = static_cast<uint16_t>(i);
    } else {
      t.prev[i] = kNone;
    }
    t.short_distance[i] = 0;
    t.longest[i] = 0;
    // Inside a long copy the search is skipped: the copy is taken whole or not at all.
    if (i < skip_until) continue;
    const uint32_t found = FindCopies(t, data, n, i, copies.data());
    t.longest[i] = found ? copies[found - 1].length : 0;
    if (t.longest[i] >= kNiceLength) skip_until = i + t.longest[i];
    if (i + kShortLength <= n) {
      for (uint32_t d = kShortLength; d <= kMaxShortDistance && d <= i; ++d) {
        if (data[i - d] == data[i] && data[i - d + 1] == data[i + 1]) {
          t.short_distance[i] = static_cast<uint8_t>(d);
          break;
        }
      }
    }
  }
}

void Lz77PageEncoder::ChooseItems(uint32_t n) {
  Tables& t = *tables_;
  auto key = [](uint32_t cost, uint32_t pos) {
    return static_cast<uint64_t>(cost) << 13 | (kKeySpan - 1 - pos);
  };
  t.block_min.fill(UINT64_MAX);
  auto set = [&](uint32_t pos, uint64_t value) {
    t.keys[pos] = value;
    uint64_t& m = t.block_min[pos >> kBlockBits];
    m = std::min(m, value);
  };
  auto range_min = [&](uint32_t lo, uint32_t hi) {  // inclusive, all set already
    uint64_t best = UINT64_MAX;
    uint32_t p = lo;
    for (; p <= hi && (p & ((1u << kBlockBits) - 1)) != 0; ++p) best = std::min(best, t.keys[p]);
    for (; p + (1u << kBlockBits) - 1 <= hi; p += 1u << kBlockBits) {
      best = std::min(best, t.block_min[p >> kBlockBits]);
    }
    for (; p <= hi; ++p) best = std::min(best, t.keys[p]);
    return best;
  };
  t.cost[n] = 0;
  set(n, key(0, n));
  for (uint32_t i = n; i-- > 0;) {
    uint32_t best_cost = t.cost[i + 1] + kLiteralCost;
    uint32_t best_choice = 0;
    if (t.short_distance[i] && t.cost[i + 2] + kShortCost <= best_cost) {
      best_cost = t.cost[i + 2] + kShortCost;
      best_choice = kShortLength;
    }
    const uint32_t longest = t.longest[i];
    if (longest >= kMinMidLength) {
      const uint32_t mid_end = std::min(longest, kMaxMidLength);
      for (uint32_t len = kMinMidLength; len <= mid_end; ++len) {
        if (t.cost[i + len] + kMidCost <= best_cost) {
          best_cost = t.cost[i + len] + kMidCost;
          best_choice = len;
        }
      }
      if (longest > kMaxMidLength) {
        const uint64_t m = range_min(i + kMaxMidLength + 1, i + longest);
        const auto cost = static_cast<uint32_t>(m >> 13) + kLongCost;
        if (cost <= best_cost) {
          best_cost = cost;
          best_choice = kKeySpan - 1 - static_cast<uint32_t>(m & (kKeySpan - 1)) - i;
        }
      }
    }
    t.cost[i] = best_cost;
    t.choice[i] = static_cast<uint16_t>(best_choice);
    set(i, key(best_cost, i));
  }
}

std::optional<size_t> Lz77PageEncoder::WriteItems(uint32_t n, std::span<uint8_t> out) {
  const Tables& t = *tables_;
  const uint8_t* data = t.data.data();
  std::array<Copy, kMaxCandidates + 1> copies;
  uint8_t* o = out.data();
  uint8_t* const o_end = o + out.size();
  uint8_t* flag = nullptr;
  uint32_t items = 0;
  for (uint32_t i = 0; i < n;) {
    if (items % 8 == 0) {
      if (o == o_end) return std::nullopt;
      flag = o++;
      *flag = 0;
    }
    const uint32_t len = t.choice[i];
    if (len == 0) {
      if (o == o_end) return std::nullopt;
      *o++ = data[i];
      ++i;
      ++items;
      continue;
    }
    *flag = static_cast<uint8_t>(*flag | 1u << (items % 8));
    ++items;
    if (len == kShortLength) {
      if (o == o_end) return std::nullopt;
      *o++ = static_cast<uint8_t>((t.short_distance[i] - 2) << 4 | 1);
      i += len;
      continue;
    }
    const uint32_t found = FindCopies(t, data, n, i, copies.data());
    uint32_t src = 0;
    for (uint32_t k = 0; k < found; ++k) {
      if (copies[k].length >= len) {
        // In a run the most recent source of a copy of `len` bytes is `len` bytes back.
        src = copies[k].in_run ? i - len : copies[k].src;
        break;
      }
    }
    const size_t size = len > kMaxMidLength ? 3 : 2;
    if (static_cast<size_t>(o_end - o) < size) return std::nullopt;
    o[0] = static_cast<uint8_t>((src & 15) << 4 | (len > kMaxMidLength ? 0 : len - 1));
    o[1] = static_cast<uint8_t>(src >> 4);
    if (size == 3) o[2] = static_cast<uint8_t>(len - 17);
    o += size;
    i += len;
  }
  return static_cast<size_t>(o - out.data());
}

}  // namespace codec
