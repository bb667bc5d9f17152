// The built-in LZ77 codec: stream layout, encoder and decoder.
//
// Stream (both versions), all numbers little-endian:
//
//   offset 0  4 bytes  magic "TWZ3" (version 3 and ROM mode) or "TWZ4" (version 4)
//   offset 4  u32      length N of the uncompressed data
//   offset 8  pages    one per 4096 bytes of the data (the last one may be shorter)
//
// A page begins with a u16 word W. W = 0x8000: the page's bytes follow as they are (data
// that does not compress costs 2 bytes per page). 1 <= W < page length: W bytes of tokens
// follow that decode to exactly the page's bytes; a match may reach back into earlier pages,
// never before the start of the data. Any other W is corrupt. The stream ends behind the
// last page; N = 0 is a stream of the header alone.
//
// Tokens are those of the "Plain LZ77" format of Microsoft's open [MS-XCA] document: a 32-bit
// flag word, read most significant bit first, announces the next 32 tokens (0 literal, 1
// match); a flag word is read when the previous one is used up and a token follows, so each
// page's tokens begin with one. A literal is one byte. Differences from [MS-XCA]: flag words,
// and the shared length nibble, start afresh in every page; a page ends when its bytes are
// produced (no end-of-stream flag bit); unused flag bits are 0.
//
// Version 3 match: u16 T; offset = (T >> 3) + 1 (1 to 8192), length code = T & 7. Code 7
// reads an extended length exactly as [MS-XCA] does: a half byte (the low half of a new
// byte, or the high half of the byte whose low half the previous extended length used);
// 15 there reads a byte; 255 there reads a u16, and a u16 of 0 reads a u32; the u16 or u32
// holds the length - 3 whole. Length = code + 3 otherwise.
//
// Version 4 match, for a window of 512 KiB: u16 T; bit 15 clear: offset = ((T >> 4) & 0x7FF)
// + 1 (1 to 2048); bit 15 set: one more byte B follows and offset = (((T >> 4) & 0x7FF) << 8
// | B) + 1 (1 to 524288). Length code = T & 15; code 15 reads a byte E: E < 255 gives length
// 18 + E, E = 255 reads a u16 V holding the length (V >= 273), and V = 0 reads a u32 holding
// it (>= 65536; a smaller one is read all the same). Length = code + 3 otherwise.
//
// The decoder checks every read against the end of the source, rejects offset 0 (impossible
// by construction), offsets beyond the bytes produced and lengths beyond the page, and
// requires each page's tokens to be used up exactly. Every loop pass reads input.
#include "compress/lz_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace codec {

namespace {

constexpr uint8_t kMagic3[4] = {'T', 'W', 'Z', '3'};
constexpr uint8_t kMagic4[4] = {'T', 'W', 'Z', '4'};
constexpr uint16_t kStoredPage = 0x8000;

inline uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void Store16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Store32(uint8_t* p, uint32_t v) {
  Store16(p, v);
  Store16(p + 2, v >> 16);
}

struct FormatParams {
  uint32_t max_offset;
  uint32_t chain_depth;  // candidates examined per position
  uint32_t nice_length;  // a match this long ends the search
  uint32_t lazy_length;  // a match this long is taken without looking one byte ahead
};

constexpr FormatParams Params(Format f) {
  return f == Format::kVersion3 ? FormatParams{8192, 16, 64, 16} : FormatParams{65536, 16, 96, 24};
}

// Shortest match worth a token at this offset.
inline uint32_t MinLength(Format f, uint32_t offset) {
  return f == Format::kVersion4 && offset > 2048 ? 4 : 3;
}

// ---------------------------------------------------------------------------------------
// Encoder

// Writes the tokens of one page; every write is checked, and the first one that does not fit
// sets `overflow` for good.
class TokenWriter {
 public:
  TokenWriter(Format format, uint8_t* begin, uint8_t* end)
      : format_(format), begin_(begin), out_(begin), end_(end) {}

  void Literal(uint8_t b) {
    if (!Flag(0) || !Need(1)) return;
    *out_++ = b;
  }

  void Match(uint32_t length, uint32_t offset) {
    if (!Flag(1)) return;
    if (format_ == Format::kVersion3) {
      Match3(length, offset);
    } else {
      Match4(length, offset);
    }
  }

  // Stores the last flag word and gives the bytes written; false on overflow.
  [[nodiscard]] bool Finish(uint32_t& size) {
    if (overflow_) return false;
    if (flag_pos_) Store32(flag_pos_, flags_ << (32 - flag_count_));
    size = static_cast<uint32_t>(out_ - begin_);
    return true;
  }
  [[nodiscard]] bool overflow() const { return overflow_; }

 private:
  bool Need(size_t n) {
    if (overflow_ || static_cast<size_t>(end_ - out_) < n) {
      overflow_ = true;
      return false;
    }
    return true;
  }

  // Adds a flag bit, reserving a new flag word's place first when the last one is full.
  bool Flag(uint32_t bit) {
    if (!flag_pos_ || flag_count_ == 32) {
      if (flag_pos_) Store32(flag_pos_, flags_);
      if (!Need(4)) return false;
      flag_pos_ = out_;
      out_ += 4;
      flags_ = 0;
      flag_count_ = 0;
    }
    flags_ = (flags_ << 1) | bit;
    ++flag_count_;
    return true;
  }

  void Nibble(uint32_t value) {
    if (nibble_pos_) {
      *nibble_pos_ = static_cast<uint8_t>(*nibble_pos_ | (value << 4));
      nibble_pos_ = nullptr;
      return;
    }
    if (!Need(1)) return;
    nibble_pos_ = out_;
    *out_++ = static_cast<uint8_t>(value);
  }

  void Put16(uint32_t v) {
    if (!Need(2)) return;
    Store16(out_, v);
    out_ += 2;
  }

  void Match3(uint32_t length, uint32_t offset) {
    uint32_t l = length - 3;
    const uint32_t token = (offset - 1) << 3;
    if (l < 7) {
      Put16(token | l);
      return;
    }
    Put16(token | 7);
    l -= 7;
    if (l < 15) {
      Nibble(l);
      return;
    }
    Nibble(15);
    l -= 15;
    if (l < 255) {
      if (Need(1)) *out_++ = static_cast<uint8_t>(l);
      return;
    }
    if (!Need(1)) return;
    *out_++ = 255;
    LongLength(length - 3);
  }

  void Match4(uint32_t length, uint32_t offset) {
    const uint32_t o = offset - 1;
    const uint32_t code = length - 3 < 15 ? length - 3 : 15;
    if (o < 2048) {
      Put16((o << 4) | code);
    } else {
      Put16(0x8000 | ((o >> 8) << 4) | code);
      if (Need(1)) *out_++ = static_cast<uint8_t>(o);
    }
    if (code < 15) return;
    if (length - 18 < 255) {
      if (Need(1)) *out_++ = static_cast<uint8_t>(length - 18);
      return;
    }
    if (!Need(1)) return;
    *out_++ = 255;
    LongLength(length);
  }

  // A u16, or a u16 of 0 and a u32, holding `v`.
  void LongLength(uint32_t v) {
    if (v < 65536) {
      Put16(v);
      return;
    }
    Put16(0);
    if (!Need(4)) return;
    Store32(out_, v);
    out_ += 4;
  }

  Format format_;
  uint8_t* begin_;
  uint8_t* out_;
  uint8_t* end_;
  bool overflow_ = false;
  uint8_t* flag_pos_ = nullptr;
  uint32_t flags_ = 0;
  uint32_t flag_count_ = 0;
  uint8_t* nibble_pos_ = nullptr;
};

// Hash chains over the window of the format; positions are absolute offsets in the source.
class MatchFinder {
 public:
  struct Found {
    uint32_t length = 0;
    uint32_t offset = 0;
  };

  MatchFinder(Format format, const uint8_t* src, uint32_t n)
      : format_(format), params_(Params(format)), src_(src), n_(n), head_(kHashSize, kNone) {
    // The ring holds the chain links of the last `ring` positions: enough for the window, or
    // for the whole input when that is shorter (then no link is ever overwritten).
    const uint32_t reach = std::min(params_.max_offset, n);
    uint32_t ring = 1;
    while (ring <= reach) ring <<= 1;
    prev_.assign(ring, kNone);
    mask_ = ring - 1;
  }

  // Enters every position below `pos` into the chains.
  void InsertUpTo(uint32_t pos) {
    const uint32_t last = n_ >= 3 ? n_ - 2 : 0;  // a hash needs 3 bytes
    for (uint32_t end = std::min(pos, last); inserted_ < end; ++inserted_) {
      const uint32_t h = Hash(src_ + inserted_);
      prev_[inserted_ & mask_] = head_[h];
      head_[h] = inserted_;
    }
    inserted_ = std::max(inserted_, pos);
  }

  // Longest match for `pos`, at most `limit` bytes long; the nearest one of equal length.
  Found Find(uint32_t pos, uint32_t limit) const {
    Found best;
    if (limit < 3 || pos + 3 > n_) return best;
    const uint8_t* here = src_ + pos;
    uint32_t candidate = head_[Hash(here)];
    for (uint32_t depth = params_.chain_depth; depth > 0 && candidate != kNone; --depth) {
      const uint32_t offset = pos - candidate;
      if (candidate >= pos || offset > params_.max_offset) break;
      const uint8_t* there = src_ + candidate;
      if (there[best.length] == here[best.length]) {
        const uint32_t length = CommonLength(here, there, limit);
        if (length > best.length && length >= MinLength(format_, offset)) {
          best = {length, offset};
          if (length >= params_.nice_length || length == limit) break;
        }
      }
      const uint32_t next = prev_[candidate & mask_];
      if (next >= candidate) break;  // an entry the ring has reused
      candidate = next;
    }
    return best;
  }

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFF;
  static constexpr uint32_t kHashBits = 15;
  static constexpr uint32_t kHashSize = 1u << kHashBits;

  static uint32_t Hash(const uint8_t* p) {
    const uint32_t v = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  static uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t n = 0;
    while (n + 8 <= limit) {
      uint64_t x, y;
      std::memcpy(&x, a + n, 8);
      std::memcpy(&y, b + n, 8);
      if (x != y) {
        const uint64_t diff = x ^ y;
        // Little-endian hosts: the lowest differing byte is the first one.
        if constexpr (std::endian::native == std::endian::little) {
          return n + static_cast<uint32_t>(std::countr_zero(diff)) / 8;
        }
        break;
      }
      n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
  }

  Format format_;
  FormatParams params_;
  const uint8_t* src_;
  uint32_t n_;
  std::vector<uint32_t> head_;
  std::vector<uint32_t> prev_;
  uint32_t mask_ = 0;
  uint32_t inserted_ = 0;
};

// Tokens of the page [start, end) into `writer`, with one step of lazy matching. Stops early
// once the writer overflows (the page is then stored).
void EncodePage(Format format, MatchFinder& finder, const uint8_t* src, uint32_t start,
                uint32_t end, TokenWriter& writer) {
  uint32_t pos = start;
  while (pos < end && !writer.overflow()) {
    finder.InsertUpTo(pos);
    const MatchFinder::Found m = finder.Find(pos, end - pos);
    if (m.length < 3) {
      writer.Literal(src[pos++]);
      continue;
    }
    if (m.length < Params(format).lazy_length && pos + 1 < end) {
      finder.InsertUpTo(pos + 1);
      const MatchFinder::Found next = finder.Find(pos + 1, end - pos - 1);
      if (next.length > m.length) {
        writer.Literal(src[pos++]);
        continue;
      }
    }
    writer.Match(m.length, m.offset);
    pos += m.length;
  }
}

// ---------------------------------------------------------------------------------------
// Decoder

// Copies `length` bytes from `offset` bytes back to `out`. An overlapping match repeats the
// bytes it starts from: whenever the bytes copied so far are a whole number of offsets, the
// next chunk can come from the match's start in one non-overlapping copy of that many bytes
// plus one offset, so the chunks double.
inline void CopyMatch(uint8_t* out, uint32_t offset, uint32_t length) {
  const uint8_t* from = out - offset;
  if (offset >= length) {
    std::memcpy(out, from, length);
    return;
  }
  if (offset == 1) {
    std::memset(out, *from, length);
    return;
  }
  uint32_t done = 0;
  while (done < length) {
    const uint32_t chunk = std::min(done + offset, length - done);
    std::memcpy(out + done, from, chunk);
    done += chunk;
  }
}

// A u16, or a u16 of 0 followed by a u32: the long form of a length in both versions.
bool ReadLongLength(const uint8_t*& in, const uint8_t* in_end, uint32_t& value) {
  if (in_end - in < 2) return false;
  value = Load16(in);
  in += 2;
  if (value != 0) return true;
  if (in_end - in < 4) return false;
  value = Load32(in);
  in += 4;
  return true;
}

// Decodes the tokens in [in, in_end) into [out, out_end); `base` is the start of the data,
// the limit of match offsets. True when the page is produced and the tokens are used up.
bool DecodePage(Format format, const uint8_t* in, const uint8_t* in_end, const uint8_t* base,
                uint8_t* out, uint8_t* const out_end) {
  uint32_t flags = 0;
  uint32_t bits = 0;
  const uint8_t* nibble = nullptr;
  while (out < out_end) {
    if (bits == 0) {
      if (in_end - in < 4) return false;
      flags = Load32(in);
      in += 4;
      bits = 32;
    }
    if ((flags & 0x80000000u) == 0) {
      // A run of literals: as many as the flag word announces in a row, copied at once.
      const uint32_t announced = flags == 0 ? bits : static_cast<uint32_t>(std::countl_zero(flags));
      size_t run = std::min<size_t>(announced, bits);
      run = std::min<size_t>(run, static_cast<size_t>(out_end - out));
      if (static_cast<size_t>(in_end - in) < run) return false;
      std::memcpy(out, in, run);
      out += run;
      in += run;
      flags = run < 32 ? flags << run : 0;
      bits -= static_cast<uint32_t>(run);
      continue;
    }
    flags <<= 1;
    --bits;
    if (in_end - in < 2) return false;
    const uint32_t token = Load16(in);
    in += 2;
    uint32_t offset;
    uint32_t length;
    if (format == Format::kVersion3) {
      offset = (token >> 3) + 1;
      length = token & 7;
      if (length == 7) {
        if (nibble) {
          length = *nibble >> 4;
          nibble = nullptr;
        } else {
          if (in == in_end) return false;
          nibble = in;
          length = *in++ & 0xF;
        }
        if (length == 15) {
          if (in == in_end) return false;
          length = *in++;
          if (length == 255) {
            if (!ReadLongLength(in, in_end, length) || length < 15 + 7) return false;
            length -= 15 + 7;
          }
          length += 15;
        }
        length += 7;
      }
      if (length > 0xFFFFFFFFu - 3) return false;
      length += 3;
    } else {
      offset = ((token >> 4) & 0x7FF) + 1;
      if (token & 0x8000) {
        if (in == in_end) return false;
        offset = ((((token >> 4) & 0x7FF) << 8) | *in++) + 1;
      }
      length = (token & 0xF) + 3;
      if (length == 18) {
        if (in == in_end) return false;
        const uint32_t e = *in++;
        if (e < 255) {
          length = 18 + e;
        } else if (!ReadLongLength(in, in_end, length) || length < 18 + 255) {
          return false;
        }
      }
    }
    if (offset > static_cast<size_t>(out - base) || length > static_cast<size_t>(out_end - out)) {
      return false;
    }
    CopyMatch(out, offset, length);
    out += length;
  }
  return in == in_end;
}

const uint8_t* MagicOf(Format format) { return format == Format::kVersion3 ? kMagic3 : kMagic4; }

}  // namespace

uint32_t Compress(Format format, const uint8_t* src, uint32_t src_len, uint8_t* dst,
                  uint32_t dst_cap) {
  if (dst_cap < kStreamHeaderSize || (src_len != 0 && !src) || !dst) return 0;
  std::memcpy(dst, MagicOf(format), 4);
  Store32(dst + 4, src_len);
  uint8_t* out = dst + kStreamHeaderSize;
  uint8_t* const out_end = dst + dst_cap;

  MatchFinder finder(format, src, src_len);
  uint8_t page[kPageSize];
  for (uint32_t start = 0; start < src_len; start += kPageSize) {
    const uint32_t length = std::min(kPageSize, src_len - start);
    TokenWriter writer(format, page, page + length - 1);
    EncodePage(format, finder, src, start, start + length, writer);
    finder.InsertUpTo(start + length);
    uint32_t packed = 0;
    const bool compressed = writer.Finish(packed) && packed > 0;
    const uint32_t body = compressed ? packed : length;
    if (static_cast<size_t>(out_end - out) < size_t{2} + body) return 0;
    Store16(out, compressed ? packed : kStoredPage);
    std::memcpy(out + 2, compressed ? page : src + start, body);
    out += 2 + body;
  }
  return static_cast<uint32_t>(out - dst);
}

uint32_t Decompress(Format format, const uint8_t* src, uint32_t src_len, uint8_t* dst,
                    uint32_t dst_cap) {
  if (!src || src_len < kStreamHeaderSize || std::memcmp(src, MagicOf(format), 4) != 0) return 0;
  const uint32_t n = Load32(src + 4);
  if (n > dst_cap || (n != 0 && !dst)) return 0;
  const uint8_t* in = src + kStreamHeaderSize;
  const uint8_t* const in_end = src + src_len;
  for (uint32_t start = 0; start < n; start += kPageSize) {
    const uint32_t length = std::min(kPageSize, n - start);
    if (in_end - in < 2) return 0;
    const uint32_t word = Load16(in);
    in += 2;
    if (word == kStoredPage) {
      if (static_cast<size_t>(in_end - in) < length) return 0;
      std::memcpy(dst + start, in, length);
      in += length;
      continue;
    }
    if (word == 0 || word >= length || static_cast<size_t>(in_end - in) < word) return 0;
    if (!DecodePage(format, in, in + word, dst, dst + start, dst + start + length)) return 0;
    in += word;
  }
  return in == in_end ? n : 0;
}

}  // namespace codec
