// A generated corpus of table-like data, as the code-page and locale files of a ROM hold it:
// 16-bit code-page mapping tables, arrays of fixed-size records whose fields repeat, and sorted
// 32-bit values. Such data has few long matches; what repeats are single fields a record's
// size apart, which LZX reaches with two-byte matches at its repeat offsets.
#ifndef TARNWICK_BENCH_TABLE_CORPUS_H_
#define TARNWICK_BENCH_TABLE_CORPUS_H_

#include <cstdint>
#include <vector>

#include "bytes/byte_order.h"

namespace benchutil {

class TableCorpusBuilder {
 public:
  // About 450 KB, the same bytes on every run and machine.
  std::vector<uint8_t> Build() {
    for (uint32_t seed : {1u, 2u}) DoubleByteToUnicode(0x4E00 + 0x900 * seed);
    UnicodeToDoubleByte();
    for (uint32_t page = 0; page < 12; ++page) SingleByteCodePage(page);
    StrideRecords();
    KeyedRecords();
    ModuleRecords();
    GlyphRecords();
    Sorted(16384, 256);
    Sorted(8192, 65536);
    Sorted(4096, 1u << 20);
    return out_;
  }

 private:
  uint32_t Next() {  // xorshift32
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
  void Put16(uint32_t v) {
    uint8_t b[2];
    bytes::StoreLe16(b, static_cast<uint16_t>(v));
    out_.insert(out_.end(), b, b + 2);
  }
  void Put32(uint32_t v) {
    uint8_t b[4];
    bytes::StoreLe32(b, v);
    out_.insert(out_.end(), b, b + 4);
  }

  // Lead bytes 81-FE by trail bytes 40-FE to Unicode: runs of consecutive characters, jumps,
  // and the default character where a code is unmapped.
  void DoubleByteToUnicode(uint32_t base) {
    for (uint32_t lead = 0x81; lead <= 0xFE; ++lead) {
      const bool symbols = lead < 0x88;
      uint32_t v = symbols ? 0x2000 + Below(0x1400) : base + Below(0x4000);
      for (uint32_t trail = 0x40; trail <= 0xFE; ++trail) {
        const uint32_t r = Below(100);
        if (r < 8 || trail == 0x7F) {
          Put16(0x30FB);
          continue;
        }
        v += r < (symbols ? 40u : 63u) ? 1 : 1 + Below(symbols ? 200 : 48);
        Put16(v & 0xFFFF);
      }
    }
  }

  // U+4E00 to U+9FFF to double-byte codes (lead byte high): short runs along one lead byte.
  void UnicodeToDoubleByte() {
    uint32_t lead = 0x88, trail = 0x40;
    for (uint32_t c = 0x4E00; c <= 0x9FFF;) {
      const uint32_t run = 1 + Below(12);
      if (Below(100) < 15) {
        for (uint32_t k = 0; k < run && c <= 0x9FFF; ++k, ++c) Put16(0);
        continue;
      }
      lead = 0x88 + (lead - 0x88 + Below(5) + 0x75) % 0x77;
      trail = 0x40 + Below(0xBF - run);
      for (uint32_t k = 0; k < run && c <= 0x9FFF; ++k, ++c) Put16(lead << 8 | (trail + k));
    }
  }

  // A single-byte code page: 256 Unicode values (ASCII, then blocks of a script), and the
  // reverse table for U+0000 to U+04FF, unmapped characters as '?'.
  void SingleByteCodePage(uint32_t page) {
    static constexpr uint32_t kBlocks[] = {0x00A0, 0x0410, 0x0391, 0x2500, 0x05D0, 0x0E01};
    std::vector<uint16_t> to_unicode(256);
    for (uint32_t b = 0; b < 0x80; ++b) to_unicode[b] = static_cast<uint16_t>(b);
    for (uint32_t b = 0x80; b < 0x100; b += 16) {
      const uint32_t block = kBlocks[(page + b / 16 + Below(2)) % 6];
      for (uint32_t k = 0; k < 16; ++k) {
        to_unicode[b + k] = static_cast<uint16_t>(Below(10) == 0 ? 0x2010 + Below(40) : block + k);
      }
    }
    for (uint16_t v : to_unicode) Put16(v);
    std::vector<uint8_t> to_byte(0x500, '?');
    for (uint32_t b = 0; b < 256; ++b) {
      if (to_unicode[b] < to_byte.size()) to_byte[to_unicode[b]] = static_cast<uint8_t>(b);
    }
    out_.insert(out_.end(), to_byte.begin(), to_byte.end());
  }

  // 4-byte records of a counter, two bytes shared by a stretch of records and a second
  // counter: 81 e0 f0 c2 82 e0 f0 c3 ...
  void StrideRecords() {
    uint32_t a = 0, b = 0, m1 = 0, m2 = 0;
    for (uint32_t i = 0; i < 8192; ++i) {
      if (i % 64 == 0 || Below(100) == 0) {
        a = Below(256);
        b = Below(256);
        m1 = 0xC0 + Below(0x30);
        m2 = 0x80 + Below(0x70);
      }
      out_.push_back(static_cast<uint8_t>(a++));
      out_.push_back(static_cast<uint8_t>(m1));
      out_.push_back(static_cast<uint8_t>(m2));
      out_.push_back(static_cast<uint8_t>(b++));
    }
  }

  // 8-byte records: a rising 16-bit key, one of four flag words, a value rising by a stride.
  void KeyedRecords() {
    static constexpr uint16_t kFlags[] = {0x0001, 0x0003, 0x0101, 0x8001};
    uint32_t key = 0x20, value = 0x00010000;
    for (uint32_t i = 0; i < 6144; ++i) {
      key += 1 + (Below(4) == 0 ? Below(3) : 0);
      value += 0x18 + (Below(8) == 0 ? 4 * Below(16) : 0);
      Put16(key);
      Put16(kFlags[Below(8) < 5 ? 0 : Below(4)]);
      Put32(value);
    }
  }

  // 16-byte records: an index, an address in the ROM, a type, a zero word, a name offset.
  void ModuleRecords() {
    uint32_t address = 0x8C0A0000, name = 0x1200;
    for (uint32_t i = 0; i < 4096; ++i) {
      address += 4 * (4 + Below(29));
      name += 8 + Below(17);
      Put32(i);
      Put32(address);
      Put16(1 + (Below(4) == 0 ? Below(3) : 0));
      Put16(0);
      Put32(name);
    }
  }

  // 12-byte glyph records: a character, a width of three, a fixed height, two small offsets
  // and the offset of the bitmap.
  void GlyphRecords() {
    uint32_t c = 0x20, bitmap = 0;
    for (uint32_t i = 0; i < 3072; ++i) {
      c += Below(6) == 0 ? 2 : 1;
      const uint32_t width = 6 + 2 * Below(3);
      Put16(c);
      out_.push_back(static_cast<uint8_t>(width));
      out_.push_back(16);
      Put16(Below(3));
      Put16(static_cast<uint32_t>(-static_cast<int32_t>(Below(4))));
      Put32(bitmap);
      bitmap += width * 2;
    }
  }

  // `count` rising 32-bit values with gaps below `gap`.
  void Sorted(uint32_t count, uint32_t gap) {
    uint32_t v = Below(1000);
    for (uint32_t i = 0; i < count; ++i) {
      v += 1 + Below(gap);
      Put32(v);
    }
  }

  std::vector<uint8_t> out_;
  uint32_t state_ = 0x2545F491;
};

}  // namespace benchutil

#endif  // TARNWICK_BENCH_TABLE_CORPUS_H_
