// The older page coding of compressed ROM streams: byte-aligned LZ77 with positions absolute
// within the page.
#ifndef TARNWICK_COMPRESS_LZ77_PAGE_CODEC_H_
#define TARNWICK_COMPRESS_LZ77_PAGE_CODEC_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace codec {

// Decodes one page record into `page` (its size is the page's size). False when the record
// runs out before the page is complete, a copy source is at or beyond the bytes produced, a
// copy runs past the page end, or bytes are left over behind the page's last item. Never
// reads outside `record` nor writes outside `page`.
[[nodiscard]] bool DecodeLz77Page(std::span<const uint8_t> record, std::span<uint8_t> page);

// Largest record the encoder writes for a page of `n` bytes: all literals, a flag byte per 8.
[[nodiscard]] constexpr size_t MaxLz77RecordSize(size_t n) { return n + (n + 7) / 8; }

// Encodes pages in the older coding. Holds the search tables of one page, reused for every
// page of a stream.
class Lz77PageEncoder {
 public:
  // nullptr when the tables cannot be allocated.
  [[nodiscard]] static std::unique_ptr<Lz77PageEncoder> Create();
  ~Lz77PageEncoder();

  // Encodes `page` (1 to 4096 bytes) into `out`. The bytes written, or nullopt when they do
  // not fit `out` (nothing is written past its end). The same page always gives the same
  // record.
  [[nodiscard]] std::optional<size_t> Encode(std::span<const uint8_t> page, std::span<uint8_t> out);

 private:
  struct Tables;
  Lz77PageEncoder() = default;
  // The stages of Encode, on the page of `n` bytes in the tables: hash chains, runs of equal
  // bytes and the copies possible at each position; then the cheapest items from each
  // position to the page end, from the end backwards (equal costs prefer the longer step);
  // then the chosen items in groups of eight behind their flag byte.
  void FindAllCopies(uint32_t n);
  void ChooseItems(uint32_t n);
  [[nodiscard]] std::optional<size_t> WriteItems(uint32_t n, std::span<uint8_t> out);
  std::unique_ptr<Tables> tables_;
};

}  // namespace codec

#endif  // TARNWICK_COMPRESS_LZ77_PAGE_CODEC_H_
