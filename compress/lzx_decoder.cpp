// Decoder of LZX page records, the newer page coding of compressed ROM streams.
//
// Framing (Total, End table, 4096-byte pages) is described in page_framing.cpp. A page
// record of this coding is
//
//   offset 0   u32   16 (header size)
//   offset 4   u32   USize: the page's size (4096, or the remainder on the last page)
//   offset 8   u32   record length - 16
//   offset 12  u32   USize again
//   offset 16  4     signature 5B 80 80 8D
//   offset 20  ...   one LZX stream (below) that decodes to exactly USize bytes
//
// The LZX stream is that of Microsoft's cabinet files (Microsoft LZX Data Compression
// Format, 1997; block layout as in the [MS-PATCH] open document) with 32 position slots
// (the "64 KiB window"), starting afresh in every page: no window, tree or repeat offset
// carries over from the page before, and distances never reach before the page start.
//
// Bits: the stream is a sequence of 16-bit little-endian words; each word is read from its
// most significant bit down, and a field's first bit is its most significant. Huffman codes
// are read the same way. Reading past the stream's last whole word would give zero bits;
// this decoder rejects a page that needs them (a valid page ends within its record, padded
// with zero bits to a whole word).
//
// Header: 1 bit E8 flag; when set, 32 bits of translation size follow, which are ignored:
// the E8 translation (e8_translation.cpp) runs over every page whatever this bit says.
//
// Blocks, until USize bytes are produced: 3 bits type (1 verbatim, 2 aligned offset,
// 3 uncompressed; others invalid) and 24 bits size (at least 1, at most what the page still
// lacks). Matches never cross a block's end.
//
// Trees (canonical Huffman codes: shorter codes first, equal lengths by symbol; lengths at
// most 16; every code must be complete, except that the length tree may be all zero):
//   aligned  8 symbols, 8 x 3-bit lengths, only in aligned blocks, right behind the header
//   main     512 symbols: 256 literals, then 32 slots x 8 length headers; sent in two parts
//            (symbols 0-255, then 256-511)
//   length   249 symbols
// Each of the three parts (main 0-255, main 256-511, length) is sent with its own pretree:
// 20 x 4-bit pretree lengths, then pretree symbols until the part is full, where prev[i] is
// the length the symbol had in the page's previous block (0 in the first):
//   0-16  len[i] = (prev[i] - sym) mod 17
//   17    4 bits n: the next 4 + n lengths are 0
//   18    5 bits n: the next 20 + n lengths are 0
//   19    1 bit n, one more pretree symbol s (0-16): the next 4 + n lengths all become
//         (prev[first of them] - s) mod 17
// A run past the end of its part is an error. Trees carry over from block to block of a page.
//
// Tokens: main symbol m < 256 is literal byte m. Otherwise h = m - 256, slot = h >> 3, length
// = (h & 7) + 2, and when h & 7 is 7 a length-tree symbol L adds to it (9 + L, at most 257).
// Then the distance: slot 0 is R0; slot 1 is R1 (R0 and R1 swap); slot 2 is R2 (R0 and R2
// swap); slot s >= 3 reads a footer of Extra[s] bits (0 for s < 4, else (s - 2) / 2) and
// distance = Base[s] + footer - 2 (Base[0] = 0, Base[s+1] = Base[s] + 2^Extra[s]), after
// which R2 = R1, R1 = R0, R0 = distance. In an aligned block a footer of 3 or more bits is
// (raw bits of Extra - 3) << 3 plus one aligned-tree symbol. R0 = R1 = R2 = 1 at each page
// start. The copy runs byte by byte and may overlap its own output. A distance of 0 or beyond
// the bytes already produced in the page, or a match past its block, is an error.
//
// Uncompressed block: behind its size the rest of the current 16-bit word is dropped (a
// whole word when already on a word boundary); then R0, R1, R2 as three u32, the block's
// bytes, and one zero pad byte when the size is odd; bit reading resumes behind them.
#include "compress/lzx_decoder.h"

#include <cstring>

#include "bytes/byte_order.h"
#include "compress/e8_translation.h"

namespace codec {

namespace {

// Block sizes are 24-bit fields; a ROM page is far smaller.
constexpr size_t kMaxPageBytes = 0xFFFFFF;

// (previous length - symbol) mod 17 for lengths and symbols of 0 to 16, given x = the
// difference plus 17 (1 .. 33), without a division.
uint32_t Mod17(uint32_t x) {
  const uint32_t below = x - 17;  // wraps when x < 17
  return below + (17 & static_cast<uint32_t>(-static_cast<int32_t>(below >> 31)));
}

// Four 16-bit little-endian words at p as one value, the first word on top.
uint64_t LoadWords(const uint8_t* p) {
  // The compiler merges the two loads into one 64-bit load.
  uint64_t v = bytes::LoadLe32(p) | uint64_t{bytes::LoadLe32(p + 4)} << 32;
  v = v >> 32 | v << 32;  // words 3 2 1 0 -> 1 0 3 2
  return (v & 0xFFFF0000FFFF0000u) >> 16 | (v & 0x0000FFFF0000FFFFu) << 16;
}

}  // namespace

// The bit stream of one record: whole 16-bit words, read most significant bit first. The
// buffer holds the next `count_` bits at its top; below them it holds either zero bits or the
// stream's own next bits (a refill may load part of a word that it does not yet count; the
// next refill ORs the same bits in again). Past the last word it is filled with zero words,
// which are counted so that a page that consumes them is rejected.
class LzxPageDecoder::BitReader {
 public:
  BitReader(const uint8_t* begin, const uint8_t* end)
      : begin_(begin), next_(begin), end_(begin + (end - begin) / 2 * 2) {}

  // Afterwards 48 to 63 bits are buffered (never 64, so that any call is safe).
  void Refill() {
    if (end_ - next_ >= 8) [[likely]] {
      // As many of the next four words as fit behind the buffered bits, short of all 64.
      buf_ |= LoadWords(next_) >> count_;
      const uint32_t words = (63 - count_) >> 4;
      next_ += 2 * words;
      count_ += 16 * words;
      return;
    }
    RefillNearEnd();
  }
  [[nodiscard]] uint64_t Peek() const { return buf_; }
  void Skip(uint32_t n) {
    buf_ <<= n;
    count_ -= n;
  }
  // n <= 32 bits, with at least n bits buffered.
  [[nodiscard]] uint32_t Bits(uint32_t n) {
    const auto v = static_cast<uint32_t>(buf_ >> 1 >> (63 - n));  // 0 for n = 0
    Skip(n);
    return v;
  }
  [[nodiscard]] uint32_t available() const { return count_; }

  // True when bits of the zero fill behind the last word were consumed.
  [[nodiscard]] bool Overran() const { return zero_words_ * 16 > count_; }

  // Bytes consumed from the record so far, when on a byte boundary.
  [[nodiscard]] size_t BytePosition() const {
    return static_cast<size_t>(next_ - begin_) + zero_words_ * 2 - count_ / 8;
  }
  // Continues reading at byte `pos` of the record (even, so on a word boundary).
  void Restart(size_t pos) {
    next_ = begin_ + pos;
    buf_ = 0;
    count_ = 0;
    zero_words_ = 0;
  }
  [[nodiscard]] size_t size() const { return static_cast<size_t>(end_ - begin_); }
  [[nodiscard]] const uint8_t* begin() const { return begin_; }

 private:
  void RefillNearEnd() {
    while (count_ < 48) {
      uint64_t word = 0;
      if (next_ != end_) {
        word = bytes::LoadLe16(next_);
        next_ += 2;
      } else {
        ++zero_words_;
      }
      buf_ |= word << (48 - count_);
      count_ += 16;
    }
  }

  const uint8_t* begin_;
  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t buf_ = 0;
  uint32_t count_ = 0;
  uint32_t zero_words_ = 0;
};

bool IsLzxRecord(std::span<const uint8_t> record, uint32_t page_bytes) {
  if (record.size() < kLzxRecordHeaderSize + kLzxSignatureSize) return false;
  const uint8_t* p = record.data();
  return bytes::LoadLe32(p) == kLzxRecordHeaderSize && bytes::LoadLe32(p + 4) == page_bytes &&
         bytes::LoadLe32(p + 8) == record.size() - kLzxRecordHeaderSize &&
         bytes::LoadLe32(p + 12) == page_bytes && bytes::LoadLe32(p + 16) == kLzxSignature;
}

bool LzxPageDecoder::ReadLengths(BitReader& in_out, bool first_block, uint8_t* lengths,
                                 uint32_t start, uint32_t end, uint16_t* used,
                                 uint32_t& used_count_out) {
  BitReader in = in_out;  // local copies stay in registers across the stores below
  uint32_t used_count = used_count_out;
  std::array<uint8_t, lzx::kPretreeSymbols> pre;
  in.Refill();
  for (uint32_t i = 0; i < lzx::kPretreeSymbols; ++i) {
    if (i == 12) in.Refill();
    pre[i] = static_cast<uint8_t>(in.Bits(4));
  }
  if (!pretree_.Build(pre.data(), false)) return false;
  using Pre = decltype(pretree_);
  const uint16_t* const table = pretree_.table();
  const uint32_t shift = pretree_.shift();
  uint32_t i = start;
  while (i < end) {
    // A pretree code and what may follow it: 15 + 1 + 15 bits for symbol 19.
    if (in.available() < 31) in.Refill();
    uint32_t e = table[in.Peek() >> shift];
    if (e == 0) e = pretree_.Walk(in.Peek());
    in.Skip(Pre::Length(e));
    const uint32_t sym = Pre::Symbol(e);
    if (sym <= 16) {
      const auto value = static_cast<uint8_t>(Mod17(lengths[i] + 17 - sym));
      lengths[i] = value;
      used[used_count] = static_cast<uint16_t>(i);
      used_count += value != 0;
      ++i;
      continue;
    }
    uint32_t run = 0;
    uint8_t value = 0;
    if (sym == 17) {
      run = 4 + in.Bits(4);
    } else if (sym == 18) {
      run = 20 + in.Bits(5);
    } else {
      run = 4 + in.Bits(1);
      const uint32_t e2 = pretree_.Decode(in.Peek());
      const uint32_t s = Pre::Symbol(e2);
      if (s > 16) return false;
      in.Skip(Pre::Length(e2));
      value = static_cast<uint8_t>(Mod17(lengths[i] + 17 - s));
    }
    if (run > end - i) return false;
    if (value == 0 && first_block) {
      // Every length behind i is still 0 in a page's first block: a fixed-size clear may
      // run past the run (into the slack behind the arrays) without changing anything.
      static_assert(kLengthSlack >= 64 && 20 + 31 <= 64);
      std::memset(lengths + i, 0, 64);
    } else {
      std::memset(lengths + i, value, run);
    }
    if (value != 0) {
      for (uint32_t k = 0; k < run; ++k) used[used_count++] = static_cast<uint16_t>(i + k);
    }
    i += run;
  }
  in_out = in;
  used_count_out = used_count;
  return true;
}

template <bool kAligned>
bool LzxPageDecoder::DecodeBlockTokens(BitReader& in, uint8_t* page, uint32_t pos, uint32_t end) {
  using Main = decltype(main_);
  BitReader r = in;  // local copies stay in registers across the byte stores
  uint32_t r0 = repeats_[0], r1 = repeats_[1], r2 = repeats_[2];
  const uint16_t* const main_table = main_.table();
  constexpr uint32_t main_shift = 64 - kMainRootBits;
  using Length = decltype(length_);
  uint8_t* out = page + pos;
  uint8_t* const out_end = page + end;
  while (out != out_end) {
    if (r.available() < kMaxHuffmanLength) r.Refill();
    uint32_t e = main_table[r.Peek() >> main_shift];
    if (e == 0) [[unlikely]] {
      e = main_.Walk(r.Peek());
    }
    r.Skip(Main::Length(e));
    if (e < (lzx::kNumChars << Main::kSymbolShift)) {
      *out++ = static_cast<uint8_t>(Main::Symbol(e));
      continue;
    }
    r.Refill();
    const uint32_t header = Main::Symbol(e) - lzx::kNumChars;
    const uint32_t slot = header >> 3;
    uint32_t length = (header & 7) + lzx::kMinMatch;
    if ((header & 7) == 7) {
      const uint32_t le = length_.Decode(r.Peek());
      if (Length::Length(le) == 0) return false;  // an empty length tree
      r.Skip(Length::Length(le));
      length += Length::Symbol(le);
    }
    uint32_t distance = 0;
    if (slot >= 3) {
      const uint32_t extra = (slot - 2) >> 1;  // kExtraBits[slot], for slots from 3 on
      uint32_t footer = 0;
      if (kAligned && extra >= 3) {
        footer = r.Bits(extra - 3) << 3;
        const uint32_t ae = aligned_.Decode(r.Peek());
        r.Skip(decltype(aligned_)::Length(ae));
        footer += decltype(aligned_)::Symbol(ae);
      } else {
        footer = r.Bits(extra);
      }
      distance = lzx::kSlotBase[slot] + footer - 2;
      r2 = r1;
      r1 = r0;
      r0 = distance;
    } else if (slot == 0) {
      distance = r0;
    } else if (slot == 1) {
      distance = r1;
      r1 = r0;
      r0 = distance;
    } else {
      distance = r2;
      r2 = r0;
      r0 = distance;
    }
    const auto room = static_cast<size_t>(out_end - out);
    // A distance of 0 (possible after an uncompressed block) wraps around and fails too.
    if (distance - 1 >= static_cast<size_t>(out - page) || length > room) return false;
    const uint8_t* from = out - distance;
    if (distance >= 32 && room >= 32) [[likely]] {
      // 32 bytes at once (source and destination do not overlap), then 16 at a time: what
      // runs past the match stays inside the block and is written again by what follows.
      std::memcpy(out, from, 32);
      if (length > 32) [[unlikely]] {
        if (((length + 15) & ~15u) <= room) {
          for (uint32_t i = 32; i < length; i += 16) std::memcpy(out + i, from + i, 16);
        } else {
          for (uint32_t i = 32; i < length; ++i) out[i] = from[i];
        }
      }
    } else if (distance >= 16 && ((length + 15) & ~15u) <= room) {
      for (uint32_t i = 0; i < length; i += 16) std::memcpy(out + i, from + i, 16);
    } else if (distance >= 8 && ((length + 7) & ~7u) <= room) {
      for (uint32_t i = 0; i < length; i += 8) std::memcpy(out + i, from + i, 8);
    } else if (distance == 1) {
      std::memset(out, *from, length);
    } else {
      for (uint32_t i = 0; i < length; ++i) out[i] = from[i];
    }
    out += length;
  }
  repeats_ = {r0, r1, r2};
  in = r;
  return true;
}

bool LzxPageDecoder::Decode(std::span<const uint8_t> record, std::span<uint8_t> page) {
  if (page.size() > kMaxPageBytes) return false;
  const auto n = static_cast<uint32_t>(page.size());
  if (!IsLzxRecord(record, n)) return false;
  const size_t stream_start = kLzxRecordHeaderSize + kLzxSignatureSize;
  BitReader in(record.data() + stream_start, record.data() + record.size());
  main_lengths_.fill(0);
  length_lengths_.fill(0);
  repeats_ = {1, 1, 1};

  in.Refill();
  if (in.Bits(1)) {
    (void)in.Bits(16);  // translation size, ignored: the translation is always on
    (void)in.Bits(16);
  }
  uint32_t pos = 0;
  while (pos < n) {
    in.Refill();
    const uint32_t type = in.Bits(3);
    const uint32_t size = in.Bits(24);
    if (size == 0 || size > n - pos) return false;
    if (type == lzx::kBlockUncompressed) {
      // Drop the rest of the word, or a whole word when on a boundary.
      in.Skip(in.available() % 16 == 0 ? 16 : in.available() % 16);
      if (in.Overran()) return false;
      const size_t at = in.BytePosition();
      const size_t padded = size + (size & 1);
      if (in.size() - at < 12 || in.size() - at - 12 < padded) return false;
      const uint8_t* p = in.begin() + at;
      repeats_ = {bytes::LoadLe32(p), bytes::LoadLe32(p + 4), bytes::LoadLe32(p + 8)};
      std::memcpy(page.data() + pos, p + 12, size);
      pos += size;
      in.Restart(at + 12 + padded);
      continue;
    }
    if (type != lzx::kBlockVerbatim && type != lzx::kBlockAligned) return false;
    const bool aligned = type == lzx::kBlockAligned;
    if (aligned) {
      in.Refill();
      std::array<uint8_t, lzx::kAlignedSymbols> lengths{};
      for (auto& l : lengths) l = static_cast<uint8_t>(in.Bits(3));
      if (!aligned_.Build(lengths.data(), false)) return false;
    }
    std::array<uint16_t, lzx::kMainSymbols> used;
    uint32_t main_used = 0, length_used = 0;
    const bool first = pos == 0;
    if (!ReadLengths(in, first, main_lengths_.data(), 0, lzx::kNumChars, used.data(), main_used) ||
        !ReadLengths(in, first, main_lengths_.data(), lzx::kNumChars, lzx::kMainSymbols,
                     used.data(), main_used) ||
        !main_.Build(main_lengths_.data(), used.data(), main_used, false) ||
        !ReadLengths(in, first, length_lengths_.data(), 0, lzx::kLengthSymbols, used.data(),
                     length_used) ||
        !length_.Build(length_lengths_.data(), used.data(), length_used, true)) {
      return false;
    }
    const bool ok = aligned ? DecodeBlockTokens<true>(in, page.data(), pos, pos + size)
                            : DecodeBlockTokens<false>(in, page.data(), pos, pos + size);
    if (!ok) return false;
    pos += size;
    if (in.Overran()) return false;
  }
  if (in.Overran()) return false;
  UndoE8Translation(page);
  return true;
}

}  // namespace codec
