// The LZX encoder's page parse: hash-chain match finding and a forward minimum-cost path.
//
// Matches: hash chains over 3-byte prefixes, searched from the most recent position; each
// position keeps the matches of increasing length found there (the closest distance for each
// length). Inside a match of kNiceLength bytes or more the search is skipped.
//
// Path: node i is "the first i bytes coded". Going forward, each reached node is expanded by
// a literal, by matches at the node's own three repeat offsets (every length from 2), and by
// the found matches (every length from 3); a node keeps the cheapest way in and the repeat
// offsets that way leaves behind, so repeat matches are priced as the decoder will see them.
// A match of kNiceLength bytes or more is taken whole and the nodes inside it are not
// expanded, which bounds the work on long repeats.
#include "compress/lzx_parser.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "compress/match_search.h"
#include "compress/page_framing.h"

namespace codec::lzx {

namespace {

constexpr uint32_t kHashBits = 12;
constexpr uint32_t kMaxCandidates = 24;
constexpr uint32_t kNiceLength = 64;
constexpr uint32_t kMaxMatchesPerPosition = 16;
constexpr uint16_t kNone = 0xFFFF;
constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr uint32_t kPadding = 16;  // readable zero bytes behind the page for 8-byte compares

struct Match {
  uint16_t length;
  uint16_t distance;
};

struct Node {
  uint32_t cost;
  uint16_t length;  // of the step into this node; 0 for a literal
  uint16_t distance;
  std::array<uint16_t, kNumRepeats> repeats;  // after that step
};

}  // namespace

struct LzxParser::Tables {
  std::array<uint8_t, kPageSize + kPadding> data;
  std::array<uint16_t, 1u << kHashBits> head;
  std::array<uint16_t, kPageSize> prev;
  std::array<uint32_t, kPageSize + 1> first_match;  // index into matches
  std::array<Match, kPageSize * kMaxMatchesPerPosition> matches;
  std::array<Node, kPageSize + 1> nodes;
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
  t.head.fill(kNone);
  uint32_t count = 0;
  uint32_t skip_until = 0;
  for (uint32_t i = 0; i < n_; ++i) {
    t.first_match[i] = count;
    if (i + 3 > n_) {
      t.prev[i] = kNone;
      continue;
    }
    const uint32_t h = Hash3<kHashBits>(data + i);
    t.prev[i] = t.head[h];
    t.head[h] = static_cast<uint16_t>(i);
    if (i < skip_until) continue;
    const uint32_t max_length = std::min(kMaxMatch, n_ - i);
    uint32_t best = 2;
    uint32_t found = 0;
    uint32_t depth = 0;
    for (uint32_t src = t.prev[i]; src != kNone && depth < kMaxCandidates;
         src = t.prev[src], ++depth) {
      if (data[src + best] != data[i + best]) continue;
      const uint32_t len = CommonPrefix(data + src, data + i, max_length);
      if (len <= best) continue;
      best = len;
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
      if (r[k] > i) continue;
      const uint32_t len = CommonPrefix(data + i - r[k], data + i, max_length);
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

uint32_t LzxParser::Parse(const CostModel& costs, Item* items) {
  Tables& t = *t_;
  const uint8_t* data = data_;
  const uint32_t n = n_;
  Node* nodes = t.nodes.data();
  nodes[0].cost = 0;
  nodes[0].repeats = {1, 1, 1};
  for (uint32_t i = 1; i <= n; ++i) nodes[i].cost = kInfinite;

  // Cost of a match's main and length symbols for header slot*8 + length code.
  auto length_cost = [&](uint32_t slot, uint32_t len) {
    const uint32_t code = std::min(len - kMinMatch, 7u);
    uint32_t c = costs.main[kNumChars + slot * 8 + code];
    if (code == 7) c += costs.length[len - 9];
    return c;
  };
  auto footer_cost = [&](uint32_t slot, uint32_t footer) {
    const uint32_t extra = kExtraBits[slot];
    if (!costs.aligned_block || extra < 3) return extra * kCostScale;
    return (extra - 3) * kCostScale + costs.aligned[footer & 7];
  };
  auto relax = [&](uint32_t to, uint32_t cost, uint32_t len, uint32_t distance,
                   const std::array<uint16_t, kNumRepeats>& repeats) {
    Node& node = nodes[to];
    if (cost >= node.cost) return;
    node.cost = cost;
    node.length = static_cast<uint16_t>(len);
    node.distance = static_cast<uint16_t>(distance);
    node.repeats = repeats;
  };

  uint32_t skip_until = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (i < skip_until) continue;
    const Node& here = nodes[i];
    const uint32_t base = here.cost;
    if (base == kInfinite) continue;
    const std::array<uint16_t, kNumRepeats> r = here.repeats;
    relax(i + 1, base + costs.main[data[i]], 0, 0, r);
    const uint32_t max_length = std::min(kMaxMatch, n - i);
    if (max_length < kMinMatch) continue;

    // Longest match of all, taken whole when it reaches kNiceLength.
    uint32_t long_len = 0, long_cost = 0, long_distance = 0;
    std::array<uint16_t, kNumRepeats> long_repeats{};

    for (uint32_t k = 0; k < kNumRepeats; ++k) {
      const uint32_t d = r[k];
      if (d > i || (k >= 1 && d == r[0]) || (k == 2 && d == r[1])) continue;
      const uint32_t len = CommonPrefix(data + i - d, data + i, max_length);
      if (len < kMinMatch) continue;
      std::array<uint16_t, kNumRepeats> next = r;
      std::swap(next[0], next[k]);
      if (len >= kNiceLength) {
        if (len > long_len) {
          long_len = len;
          long_cost = base + length_cost(k, len);
          long_distance = d;
          long_repeats = next;
        }
        continue;
      }
      for (uint32_t l = kMinMatch; l <= len; ++l)
        relax(i + l, base + length_cost(k, l), l, d, next);
    }

    const Match* m = t.matches.data() + t.first_match[i];
    const Match* m_end = t.matches.data() + t.first_match[i + 1];
    uint32_t l = 3;
    for (; m != m_end; ++m) {
      const uint32_t d = m->distance;
      const uint32_t len = m->length;
      if (d == r[0] || d == r[1] || d == r[2]) {
        l = len + 1;  // the repeat match above covers it
        continue;
      }
      const uint32_t slot = t.slot[d + 2];
      const uint32_t footer = d + 2 - kSlotBase[slot];
      const uint32_t fixed = base + footer_cost(slot, footer);
      const std::array<uint16_t, kNumRepeats> next = {static_cast<uint16_t>(d), r[0], r[1]};
      if (len >= kNiceLength) {
        if (len > long_len) {
          long_len = len;
          long_cost = fixed + length_cost(slot, len);
          long_distance = d;
          long_repeats = next;
        }
        break;
      }
      for (; l <= len; ++l) relax(i + l, fixed + length_cost(slot, l), l, d, next);
    }
    if (long_len != 0) {
      relax(i + long_len, long_cost, long_len, long_distance, long_repeats);
      skip_until = i + long_len;
    }
  }

  // Walk back from the end, then put the items in page order.
  uint32_t count = 0;
  for (uint32_t j = n; j > 0;) {
    const Node& node = nodes[j];
    items[count++] = {node.length, node.distance};
    j -= node.length ? node.length : 1;
  }
  std::reverse(items, items + count);
  return count;
}

}  // namespace codec::lzx
