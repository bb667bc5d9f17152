// The LZX encoder's page parse: match finding and a forward minimum-cost path.
//
// Matches: the positions grouped by a hash of their first 3 bytes, each searched among the
// kMaxCandidates positions before it in its group, the most recent first; each position
// keeps the matches of increasing length found there (the closest distance for each length).
// Inside a match of kNiceLength bytes or more the search is skipped. Besides, each position
// knows the closest earlier copy of its two bytes (a two-byte match), up to kMaxPairDistance
// back.
//
// Path: node i is "the first i bytes coded". Going forward, each reached node is expanded by
// a literal, by matches at the node's own three repeat offsets (every length from 2), by the
// two-byte match, and by the found matches (every length from 3); a node keeps the cheapest
// way in, and the repeat offsets that way leaves behind are worked out when the node is
// expanded, so repeat matches are priced as the decoder will see them. A node keeps only one
// way in, so a match that costs more than literals now but sets the distance that later
// repeat matches reuse would be lost; therefore the two-byte match and the longest match are
// also tried as a chain: the match, up to kChainLiterals literals, and a repeat match at the
// same distance (records of a fixed size whose fields repeat at that size). A match of
// kNiceLength bytes or more is taken whole and the nodes inside it are not expanded, which
// bounds the work on long repeats.
//
// The greedy and lazy parses that price the path walk the page once, keeping one set of
// repeat offsets.
#include "compress/lzx_parser.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "bytes/byte_order.h"
#include "compress/match_search.h"
#include "compress/page_framing.h"

namespace codec::lzx {

namespace {

// A `kBits`-bit hash of a pair of bytes.
template <uint32_t kBits>
uint32_t Hash2(uint32_t pair) {
  return (pair * 2654435761u) >> (32 - kBits);
}

constexpr uint32_t kHashBits = 12;
constexpr uint32_t kMaxCandidates = 24;
constexpr uint32_t kNiceLength = 64;
constexpr uint32_t kMaxMatchesPerPosition = 16;
constexpr uint32_t kMaxPairDistance = 64;
constexpr uint32_t kPairBits = 12;
constexpr uint32_t kChainLiterals = 2;
constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr uint32_t kPadding = 16;  // readable zero bytes behind the page for 8-byte compares

struct Match {
  uint16_t length;
  uint16_t distance;
};

// The step into a node, packed: the distance (12 bits), the length of the last item (9 bits;
// 0 for a literal), and for a chain the number of literals (2 bits) and the length of the
// match in front of them (9 bits), which has the same distance.
constexpr uint32_t kLengthShift = 12;
constexpr uint32_t kLiteralsShift = 21;
constexpr uint32_t kFirstShift = 23;
static_assert(kPageSize <= 1u << kLengthShift && kMaxMatch < 1u << 9 && kChainLiterals < 4);

constexpr uint32_t Step(uint32_t length, uint32_t distance) {
  return distance | length << kLengthShift;
}
constexpr uint32_t ChainStep(uint32_t first, uint32_t literals, uint32_t length,
                             uint32_t distance) {
  return Step(length, distance) | literals << kLiteralsShift | first << kFirstShift;
}
constexpr uint32_t StepDistance(uint32_t s) { return s & 0xFFF; }
constexpr uint32_t StepLength(uint32_t s) { return s >> kLengthShift & 0x1FF; }
constexpr uint32_t StepLiterals(uint32_t s) { return s >> kLiteralsShift & 3; }
constexpr uint32_t StepFirst(uint32_t s) { return s >> kFirstShift; }

struct Node {
  uint32_t cost;
  uint32_t step;
};

// The three repeat offsets R0, R1, R2 in one word (16 bits each, R0 lowest), so that a node's
// are stored and loaded whole.
using Repeats = uint64_t;
constexpr Repeats kFirstRepeats = 1 | 1u << 16 | uint64_t{1} << 32;
constexpr uint32_t Repeat(Repeats r, uint32_t k) { return r >> (16 * k) & 0xFFFF; }

// The repeat offsets after a match at distance d, as the decoder keeps them.
constexpr Repeats Apply(Repeats r, uint32_t d) {
  const uint32_t r0 = Repeat(r, 0), r1 = Repeat(r, 1), r2 = Repeat(r, 2);
  if (d == r0) return r;
  if (d == r1) return r1 | r0 << 16 | uint64_t{r2} << 32;
  if (d == r2) return r2 | r1 << 16 | uint64_t{r0} << 32;
  return d | r0 << 16 | uint64_t{r1} << 32;
}

}  // namespace

struct LzxParser::Tables {
  std::array<uint8_t, kPageSize + kPadding> data;
  // The positions grouped by the hash of their three bytes (a counting sort), in page order
  // within each group: a position's candidates lie in front of it in its group, the nearest
  // first, and the next one's place is known without loading the one before.
  std::array<uint16_t, (1u << kHashBits) + 1> group_start;
  std::array<uint16_t, kPageSize> hash;             // of each position
  std::array<uint16_t, kPageSize> rank;             // of each position in its group
  std::array<uint16_t, kPageSize> by_hash;          // the positions, grouped
  std::array<uint32_t, kPageSize + 1> first_match;  // index into matches
  std::array<Match, kPageSize * kMaxMatchesPerPosition> matches;
  std::array<uint16_t, kPageSize> pair_distance;  // of the two-byte match; 0 for none
  // Last position of the pairs of bytes of each hash. Never cleared: an entry is used only
  // where it lies before the position and holds the same two bytes, which makes it the last
  // position of this page with that hash, whatever earlier pages left behind.
  std::array<uint16_t, 1u << kPairBits> pair_last;
  std::array<Node, kPageSize + 1> nodes;
  std::array<Repeats, kPageSize + 1> repeats;  // of each expanded node
  std::array<uint32_t, kPageSize + 1> literal_costs;
  std::array<uint8_t, kPageSize + 2> slot;  // position slot of each formatted offset
};

std::unique_ptr<LzxParser> LzxParser::Create() {
  std::unique_ptr<LzxParser> p(new (std::nothrow) LzxParser());
  if (!p) return nullptr;
  p->t_.reset(new (std::nothrow) Tables());
  if (!p->t_) return nullptr;
  for (uint32_t f = 3; f < p->t_->slot.size(); ++f)
    p->t_->slot[f] = static_cast<uint8_t>(SlotOf(f));
  return p;
}

LzxParser::~LzxParser() = default;

void LzxParser::FindMatches(std::span<const uint8_t> page) {
  Tables& t = *t_;
  n_ = static_cast<uint32_t>(page.size());
  std::memcpy(t.data.data(), page.data(), n_);
  std::memset(t.data.data() + n_, 0, kPadding);
  data_ = t.data.data();
  const uint8_t* data = data_;
  const uint32_t hashed = n_ >= 3 ? n_ - 2 : 0;  // positions with three bytes
  t.group_start.fill(0);
  for (uint32_t i = 0; i < hashed; ++i) {
    const uint32_t h = Hash3<kHashBits>(data + i);
    t.hash[i] = static_cast<uint16_t>(h);
    t.rank[i] = t.group_start[h + 1]++;
  }
  for (uint32_t h = 1; h <= 1u << kHashBits; ++h) {
    t.group_start[h] = static_cast<uint16_t>(t.group_start[h] + t.group_start[h - 1]);
  }
  for (uint32_t i = 0; i < hashed; ++i) {
    t.by_hash[t.group_start[t.hash[i]] + t.rank[i]] = static_cast<uint16_t>(i);
  }

  uint32_t count = 0;
  uint32_t skip_until = 0;
  for (uint32_t i = 0; i < n_; ++i) {
    t.first_match[i] = count;
    t.pair_distance[i] = 0;
    if (i + 2 <= n_) {
      const uint32_t pair = bytes::LoadLe16(data + i);
      const uint32_t slot = Hash2<kPairBits>(pair);
      const uint32_t last = t.pair_last[slot];
      if (last < i && i - last <= kMaxPairDistance && bytes::LoadLe16(data + last) == pair) {
        t.pair_distance[i] = static_cast<uint16_t>(i - last);
      }
      t.pair_last[slot] = static_cast<uint16_t>(i);
    }
    if (i >= hashed || i < skip_until) continue;
    const uint32_t max_length = std::min(kMaxMatch, n_ - i);
    uint32_t best = 2;
    uint32_t found = 0;
    // A candidate longer than `best` has the byte at `best` in common.
    const uint8_t* at_best = data + best;
    uint8_t want = at_best[i];
    const uint16_t* const own = t.by_hash.data() + t.group_start[t.hash[i]] + t.rank[i];
    const uint16_t* const last = own - std::min<uint32_t>(t.rank[i], kMaxCandidates);
    for (const uint16_t* c = own; c != last;) {
      const uint32_t src = *--c;
      if (at_best[src] != want) continue;
      const uint32_t len = CommonPrefix(data + src, data + i, max_length);
      if (len <= best) continue;
      best = len;
      at_best = data + best;
      want = at_best[i];
      t.matches[count + found] = {static_cast<uint16_t>(len), static_cast<uint16_t>(i - src)};
      if (++found == kMaxMatchesPerPosition || len >= kNiceLength || len == max_length) break;
    }
    count += found;
    if (best >= kNiceLength) skip_until = i + best;
  }
  t.first_match[n_] = count;
}

uint32_t LzxParser::GreedyParse(Item* items) const {
  const Tables& t = *t_;
  const uint8_t* data = data_;
  std::array<uint32_t, kNumRepeats> r = {1, 1, 1};
  uint32_t count = 0;
  for (uint32_t i = 0; i < n_;) {
    const uint32_t max_length = std::min(kMaxMatch, n_ - i);
    uint32_t rep_len = 0, rep_k = 0;
    for (uint32_t k = 0; k < kNumRepeats && max_length >= kMinMatch; ++k) {
      if (r[k] > i || bytes::LoadLe16(data + i - r[k]) != bytes::LoadLe16(data + i)) continue;
      const uint32_t len = CommonPrefix(data + i - r[k] + 2, data + i + 2, max_length - 2) + 2;
      if (len > rep_len) {
        rep_len = len;
        rep_k = k;
      }
    }
    const uint32_t first = t.first_match[i], last = t.first_match[i + 1];
    const Match* longest = first != last ? &t.matches[last - 1] : nullptr;
    if (longest && longest->length > rep_len + 1) {
      items[count++] = {longest->length, longest->distance};
      r = {longest->distance, r[0], r[1]};
      i += longest->length;
    } else if (rep_len >= kMinMatch) {
      items[count++] = {static_cast<uint16_t>(rep_len), static_cast<uint16_t>(r[rep_k])};
      std::swap(r[0], r[rep_k]);
      i += rep_len;
    } else {
      items[count++] = {0, 0};
      ++i;
    }
  }
  return count;
}

uint32_t LzxParser::LazyParse(const CostModel& costs, Item* items) {
  Tables& t = *t_;
  const uint8_t* data = data_;
  const uint32_t n = n_;
  // What the bytes before each position cost as literals.
  uint32_t* const literals = t.literal_costs.data();
  literals[0] = 0;
  for (uint32_t i = 0; i < n; ++i) literals[i + 1] = literals[i] + costs.main[data[i]];
  const uint32_t* header = costs.main.data() + kNumChars;
  auto match_cost = [&](uint32_t slot, uint32_t len) {
    return len < 9 ? header[slot * 8 + len - 2] : header[slot * 8 + 7] + costs.length[len - 9];
  };
  auto new_distance_cost = [&](uint32_t d) {
    const uint32_t slot = t.slot[d + 2];
    const uint32_t extra = kExtraBits[slot];
    if (!costs.aligned_block || extra < 3) return extra * kCostScale;
    return (extra - 3) * kCostScale + costs.aligned[(d + 2 - kSlotBase[slot]) & 7];
  };
  // The match at i that saves most against literals, under the repeat offsets `r`.
  struct Choice {
    uint32_t saving;  // against literals
    uint32_t length, distance;
  };
  auto best_at = [&](uint32_t i, Repeats r) {
    Choice best = {0, 0, 0};
    auto consider = [&](uint32_t len, uint32_t d, uint32_t cost) {
      const uint32_t as_literals = literals[i + len] - literals[i];
      if (as_literals > cost && as_literals - cost > best.saving) {
        best = {as_literals - cost, len, d};
      }
    };
    const uint32_t max_length = std::min(kMaxMatch, n - i);
    if (max_length < kMinMatch) return best;
    for (uint32_t k = 0; k < kNumRepeats; ++k) {
      const uint32_t d = Repeat(r, k);
      if ((k >= 1 && d == Repeat(r, 0)) || (k == 2 && d == Repeat(r, 1)) || d > i ||
          bytes::LoadLe16(data + i - d) != bytes::LoadLe16(data + i)) {
        continue;
      }
      const uint32_t len = CommonPrefix(data + i - d + 2, data + i + 2, max_length - 2) + 2;
      consider(len, d, match_cost(k, len));
    }
    // The longest match only: the shorter ones rarely save more.
    if (const uint32_t first = t.first_match[i], last = t.first_match[i + 1]; first != last) {
      const Match& m = t.matches[last - 1];
      const uint32_t len = std::min<uint32_t>(m.length, max_length);
      consider(len, m.distance,
               new_distance_cost(m.distance) + match_cost(t.slot[m.distance + 2], len));
    }
    if (const uint32_t d = t.pair_distance[i];
        d != 0 && d != Repeat(r, 0) && d != Repeat(r, 1) && d != Repeat(r, 2)) {
      consider(2, d, new_distance_cost(d) + header[t.slot[d + 2] * 8]);
    }
    return best;
  };

  Repeats r = kFirstRepeats;
  uint32_t count = 0;
  Choice next = {0, 0, 0};
  bool next_known = false;  // `next` holds the choice at i
  for (uint32_t i = 0; i < n;) {
    const Choice here = next_known ? next : best_at(i, r);
    next_known = false;
    if (here.length == 0) {
      items[count++] = {0, 0};
      ++i;
      continue;
    }
    // A literal first where the match one byte later saves more.
    if (i + 1 < n) {
      next = best_at(i + 1, r);
      if (next.saving > here.saving) {
        items[count++] = {0, 0};
        ++i;
        next_known = true;
        continue;
      }
    }
    items[count++] = {static_cast<uint16_t>(here.length), static_cast<uint16_t>(here.distance)};
    r = Apply(r, here.distance);
    i += here.length;
  }
  return count;
}

uint32_t LzxParser::Parse(const CostModel& costs, Item* items) {
  Tables& t = *t_;
  const uint8_t* data = data_;
  const uint32_t n = n_;
  Node* nodes = t.nodes.data();
  nodes[0] = {0, 0};
  std::memset(nodes + 1, 0xFF, n * sizeof(Node));  // cost kInfinite
  static_assert(kInfinite == 0xFFFFFFFF);

  // The length part of a match's cost: length_cost[l] for a match of l bytes, without the
  // main symbol's position slot, which `header` adds: header[slot][min(l - 2, 7)].
  std::array<uint32_t, kMaxMatch + 1> long_cost;
  for (uint32_t l = 9; l <= kMaxMatch; ++l) long_cost[l] = costs.length[l - 9];
  const uint32_t* header = costs.main.data() + kNumChars;
  auto match_cost = [&](uint32_t slot, uint32_t len) {
    return len < 9 ? header[slot * 8 + len - 2] : header[slot * 8 + 7] + long_cost[len];
  };
  // What the footer of a match costs, by position slot and the low 3 bits of the formatted
  // offset (d + 2): from slot 8 on, where footers may end in an aligned symbol, the slots
  // start at multiples of 8, so those are the footer's low bits.
  std::array<uint32_t, kNumSlots * 8> footer_costs;
  for (uint32_t slot = 0; slot < kNumSlots; ++slot) {
    const uint32_t extra = kExtraBits[slot];
    for (uint32_t low = 0; low < 8; ++low) {
      footer_costs[slot * 8 + low] = !costs.aligned_block || extra < 3
                                         ? extra * kCostScale
                                         : (extra - 3) * kCostScale + costs.aligned[low];
    }
  }
  static_assert(kSlotBase[8] % 8 == 0 && kExtraBits[7] < 3);
  auto footer_cost = [&](uint32_t slot, uint32_t d) {
    return footer_costs[slot * 8 + (d + 2) % 8];
  };
  // Relaxes nodes i + from .. i + to (from >= 2) by a match at `distance` with position slot
  // `slot` whose footer and base cost come to `fixed`.
  auto relax_lengths = [&](uint32_t i, uint32_t from, uint32_t to, uint32_t slot, uint32_t distance,
                           uint32_t fixed) {
    Node* at = nodes + i;
    const uint32_t* h = header + slot * 8 - 2;
    uint32_t l = from;
    for (const uint32_t end = std::min(to, 8u); l <= end; ++l) {
      const uint32_t c = fixed + h[l];
      if (c < at[l].cost) at[l] = {c, Step(l, distance)};
    }
    const uint32_t fixed_long = fixed + h[9];
    for (; l <= to; ++l) {
      const uint32_t c = fixed_long + long_cost[l];
      if (c < at[l].cost) at[l] = {c, Step(l, distance)};
    }
  };
  // The chain behind a match that sets R0 to d and ends at `from` with `cost`: up to
  // kChainLiterals literals, then the longest repeat match at d. The lengths of those repeat
  // matches are kept for the last (from, d): the matches of a run of positions inside one
  // long copy all end at the same place.
  uint32_t chain_from = 0, chain_d = 0;
  std::array<uint32_t, kChainLiterals + 1> chain_len{};
  bool chain_any = false;  // some chain_len is not 0
  auto relax_chain = [&](uint32_t from, uint32_t first, uint32_t d, uint32_t cost) {
    if (from != chain_from || d != chain_d) {
      chain_from = from;
      chain_d = d;
      chain_any = false;
      for (uint32_t k = 1, p = from + 1; k <= kChainLiterals; ++k, ++p) {
        chain_len[k] =
            p + kMinMatch <= n && bytes::LoadLe16(data + p) == bytes::LoadLe16(data + p - d)
                ? CommonPrefix(data + p - d + 2, data + p + 2, std::min(kMaxMatch, n - p) - 2) + 2
                : 0;
        chain_any |= chain_len[k] != 0;
      }
    }
    if (!chain_any) return;
    for (uint32_t k = 1, p = from + 1; k <= kChainLiterals && p <= n; ++k, ++p) {
      cost += costs.main[data[p - 1]];
      const uint32_t len = chain_len[k];
      if (len == 0) continue;
      const uint32_t c = cost + match_cost(0, len);
      if (c < nodes[p + len].cost) nodes[p + len] = {c, ChainStep(first, k, len, d)};
    }
  };

  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t base = nodes[i].cost;
    // The repeat offsets that the way into this node leaves behind.
    const uint32_t step = nodes[i].step;
    Repeats packed;
    if (i == 0) {
      packed = kFirstRepeats;
    } else if (StepLength(step) == 0) {
      packed = t.repeats[i - 1];
    } else {
      const uint32_t d = StepDistance(step);
      const uint32_t first = StepFirst(step);
      packed = t.repeats[i - StepLength(step) - StepLiterals(step) - first];
      if (first != 0) packed = Apply(packed, d);
      packed = Apply(packed, d);
    }
    t.repeats[i] = packed;
    const std::array<uint32_t, kNumRepeats> r = {Repeat(packed, 0), Repeat(packed, 1),
                                                 Repeat(packed, 2)};

    if (const uint32_t c = base + costs.main[data[i]]; c < nodes[i + 1].cost) {
      nodes[i + 1] = {c, Step(0, 0)};
    }
    const uint32_t max_length = std::min(kMaxMatch, n - i);
    if (max_length < kMinMatch) continue;
    const uint32_t here = bytes::LoadLe16(data + i);

    // The repeat matches, each distance once (the first slot that holds it, as the decoder's
    // choice of slot below).
    std::array<uint32_t, kNumRepeats> rep_len{};
    auto rep = [&](uint32_t k) {
      const uint32_t d = r[k];
      if (d > i || bytes::LoadLe16(data + i - d) != here) return;
      rep_len[k] = CommonPrefix(data + i - d + 2, data + i + 2, max_length - 2) + 2;
    };
    rep(0);
    if (r[1] != r[0]) rep(1);
    if (r[2] != r[0] && r[2] != r[1]) rep(2);
    uint32_t longest = rep_len[0], longest_k = 0;
    for (uint32_t k = 1; k < kNumRepeats; ++k) {
      if (rep_len[k] > longest) {
        longest = rep_len[k];
        longest_k = k;
      }
    }
    const Match* m = t.matches.data() + t.first_match[i];
    const Match* const m_end = t.matches.data() + t.first_match[i + 1];
    // A match of kNiceLength bytes or more is taken whole (a repeat match where it is as
    // long) and the nodes inside are not expanded: the next one is at the match's end.
    const uint32_t longest_match =
        m != m_end ? std::min<uint32_t>(m_end[-1].length, max_length) : 0;
    if (std::max(longest, longest_match) >= kNiceLength) {
      uint32_t cost = 0, len = 0, d = 0;
      if (m == m_end || longest >= longest_match) {
        len = longest;
        d = r[longest_k];
        cost = base + match_cost(longest_k, len);
      } else {
        len = longest_match;
        d = m_end[-1].distance;
        const uint32_t slot = t.slot[d + 2];
        cost = base + footer_cost(slot, d) + match_cost(slot, len);
      }
      if (cost < nodes[i + len].cost) nodes[i + len] = {cost, Step(len, d)};
      i += len - 1;
      continue;
    }
    if (longest != 0) {
      for (uint32_t k = 0; k < kNumRepeats; ++k) {
        if (rep_len[k] != 0) relax_lengths(i, kMinMatch, rep_len[k], k, r[k], base);
      }
    }

    if (const uint32_t d = t.pair_distance[i]; d != 0 && d != r[0] && d != r[1] && d != r[2]) {
      const uint32_t slot = t.slot[d + 2];
      const uint32_t cost = base + footer_cost(slot, d) + header[slot * 8];
      if (cost < nodes[i + 2].cost) nodes[i + 2] = {cost, Step(2, d)};
      relax_chain(i + 2, 2, d, cost);
    }

    uint32_t l = 3;
    for (; m != m_end; ++m) {
      const uint32_t d = m->distance;
      const uint32_t len = std::min<uint32_t>(m->length, max_length);
      if (d == r[0] || d == r[1] || d == r[2]) {
        l = len + 1;  // the repeat match above covers it
        continue;
      }
      const uint32_t slot = t.slot[d + 2];
      const uint32_t fixed = base + footer_cost(slot, d);
      relax_lengths(i, l, len, slot, d, fixed);
      l = len + 1;
      // The chain behind the longest match only: shorter ones rarely set a better distance.
      if (m + 1 == m_end) relax_chain(i + len, len, d, fixed + match_cost(slot, len));
    }
  }

  // Walk back from the end, then put the items in page order.
  uint32_t count = 0;
  for (uint32_t j = n; j > 0;) {
    const uint32_t step = nodes[j].step;
    const uint32_t len = StepLength(step);
    const uint32_t d = StepDistance(step);
    items[count++] = {static_cast<uint16_t>(len), static_cast<uint16_t>(d)};
    j -= len ? len : 1;
    if (const uint32_t first = StepFirst(step); first != 0) {
      for (uint32_t k = StepLiterals(step); k > 0; --k) items[count++] = {0, 0};
      items[count++] = {static_cast<uint16_t>(first), static_cast<uint16_t>(d)};
      j -= StepLiterals(step) + first;
    }
  }
  std::reverse(items, items + count);
  return count;
}

}  // namespace codec::lzx
