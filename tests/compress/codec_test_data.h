// Data for the codec tests: kinds of content and exact-size heap copies of byte strings.
#ifndef TARNWICK_TESTS_COMPRESS_CODEC_TEST_DATA_H_
#define TARNWICK_TESTS_COMPRESS_CODEC_TEST_DATA_H_

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace codectest {

using Bytes = std::vector<uint8_t>;

// A heap block of exactly the bytes' size, so that AddressSanitizer catches a read one byte
// past the end (a vector may have spare capacity behind its size).
class Exact {
 public:
  explicit Exact(std::span<const uint8_t> bytes)
      : size_(bytes.size()), data_(new uint8_t[bytes.size() ? bytes.size() : 1]) {
    if (size_) std::memcpy(data_.get(), bytes.data(), size_);
  }
  [[nodiscard]] std::span<const uint8_t> span() const { return {data_.get(), size_}; }

 private:
  size_t size_;
  std::unique_ptr<uint8_t[]> data_;
};

inline Bytes Random(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

// Prose-like text from a small vocabulary.
inline Bytes Text(size_t n, uint32_t seed) {
  static const char* kWords[] = {"the ",   "image ",  "file ",  "header ", "module ",   "ROM ",
                                 "data ",  "offset ", "table ", "entry ",  "\r\n",      "0x8C00 ",
                                 "flash ", "page ",   "of ",    "and ",    "registry ", "value "};
  std::mt19937 rng(seed);
  Bytes b;
  b.reserve(n + 16);
  while (b.size() < n) {
    const char* w = kWords[rng() % 18];
    b.insert(b.end(), w, w + std::strlen(w));
  }
  b.resize(n);
  return b;
}

// x86-like code: call instructions (E8) to a few targets, with values inside and outside
// the translated range, between filler instructions.
inline Bytes X86Like(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  const int32_t targets[] = {0x1000, 0x2345, -0x40, 0x7FFFFFF0, 11999990, -5000000, 12000000};
  Bytes b;
  b.reserve(n + 16);
  while (b.size() < n) {
    const uint32_t r = rng() % 8;
    if (r < 3) {
      const int32_t rel = targets[rng() % 7] - static_cast<int32_t>(b.size() % 4096);
      b.push_back(0xE8);
      for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(rel) >> (8 * i)));
    } else if (r < 6) {
      const uint8_t ops[][3] = {{0x8B, 0x45, 0xF8}, {0x89, 0x4D, 0xFC}, {0x83, 0xC4, 0x08}};
      const auto& op = ops[rng() % 3];
      b.insert(b.end(), op, op + 3);
    } else {
      b.push_back(static_cast<uint8_t>(rng() % 4 == 0 ? 0xE8 : 0x90));
    }
  }
  b.resize(n);
  return b;
}

// A table of 16-byte records: a counter and one of a few templates, so that matches lie a
// multiple of 16 bytes back (what LZX's aligned-offset blocks are for).
inline Bytes Records(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  const Bytes templates = Random(5 * 12, seed + 1);
  Bytes b;
  b.reserve(n + 16);
  for (uint32_t i = 0; b.size() < n; ++i) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(i * 7 >> (8 * k)));
    const size_t t = rng() % 5 * 12;
    b.insert(b.end(), templates.begin() + static_cast<std::ptrdiff_t>(t),
             templates.begin() + static_cast<std::ptrdiff_t>(t + 12));
  }
  b.resize(n);
  return b;
}

// Pairs of fresh bytes (never E8), each followed by the pair from 6, 6, 10 and 14 bytes back
// in turn: the only repeats are two bytes long, and the LZX decoder's last three distances
// cycle so that R0, R1 and R2 each serve.
inline Bytes CyclingPairs(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  auto fresh = [&] { return static_cast<uint8_t>(rng() % 0xE0); };
  constexpr size_t kDistances[] = {6, 6, 10, 14};
  Bytes b;
  b.reserve(n + 4);
  for (uint32_t k = 0; b.size() < n; ++k) {
    b.push_back(fresh());
    b.push_back(fresh());
    for (int i = 0; i < 2; ++i)
      b.push_back(b.size() >= kDistances[k % 4] ? b[b.size() - kDistances[k % 4]] : fresh());
  }
  b.resize(n);
  return b;
}

// Text whose 4096-byte pages repeat the one before, so that matches would pay only across
// pages.
inline Bytes RepeatedPages(size_t n) {
  const Bytes page = Random(4096, 99);
  Bytes b;
  while (b.size() < n) b.insert(b.end(), page.begin(), page.end());
  b.resize(n);
  return b;
}

inline Bytes Load(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  Bytes b;
  if (!f) return b;
  int c;
  while ((c = std::fgetc(f)) != EOF) b.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return b;
}

}  // namespace codectest

#endif  // TARNWICK_TESTS_COMPRESS_CODEC_TEST_DATA_H_
