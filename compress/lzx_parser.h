// The LZX encoder's parse of one page into literals and matches: the cheapest path through
// the page under a cost model of bits per symbol, aware of the three repeat offsets, and the
// quicker parses that price it.
#ifndef TARNWICK_COMPRESS_LZX_PARSER_H_
#define TARNWICK_COMPRESS_LZX_PARSER_H_

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "compress/lzx_constants.h"

namespace codec::lzx {

// A literal (length 0: the page byte at its position) or a match of `length` bytes from
// `distance` bytes back.
struct Item {
  uint16_t length;
  uint16_t distance;
};

// What the parser believes each symbol costs, in sixteenths of a bit.
struct CostModel {
  std::array<uint32_t, kMainSymbols> main;
  std::array<uint32_t, kLengthSymbols> length;
  std::array<uint32_t, kAlignedSymbols> aligned;
  bool aligned_block;  // footers of 3 or more bits end in an aligned-tree symbol
};
inline constexpr uint32_t kCostScale = 16;

class LzxParser {
 public:
  // nullptr when the tables cannot be allocated.
  [[nodiscard]] static std::unique_ptr<LzxParser> Create();
  ~LzxParser();

  // Finds the matches of `page` (1 to 4096 bytes, already E8-translated). Call once per page
  // before Parse.
  void FindMatches(std::span<const uint8_t> page);

  // A greedy parse (longest match at each position, repeat offsets first when as long), for a
  // first estimate of the symbol statistics. Same contract as Parse.
  [[nodiscard]] uint32_t GreedyParse(Item* items) const;

  // A lazy parse under `costs`: at each position the match that saves most against literals,
  // unless the best one a byte later saves more. Far cheaper than Parse and close enough to
  // price it. Same contract as Parse.
  [[nodiscard]] uint32_t LazyParse(const CostModel& costs, Item* items);

  // The cheapest items for the page found by FindMatches under `costs`, in page order; they
  // cover the page exactly. Returns their number; `items` must hold a page's size of them.
  [[nodiscard]] uint32_t Parse(const CostModel& costs, Item* items);

 private:
  struct Tables;
  LzxParser() = default;
  std::unique_ptr<Tables> t_;
  const uint8_t* data_ = nullptr;
  uint32_t n_ = 0;
};

}  // namespace codec::lzx

#endif  // TARNWICK_COMPRESS_LZX_PARSER_H_
