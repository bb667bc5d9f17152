// The framing shared by both page codings of compressed ROM files and module sections: the
// size, the table of page record ends and the 4096-byte pages.
#ifndef TARNWICK_COMPRESS_PAGE_FRAMING_H_
#define TARNWICK_COMPRESS_PAGE_FRAMING_H_

#include <cstdint>
#include <optional>
#include <span>

namespace codec {

inline constexpr uint32_t kPageSize = 4096;
// Total and every End offset are 24-bit fields.
inline constexpr uint32_t kMaxFieldValue = 0xFFFFFF;
inline constexpr uint32_t kFieldSize = 3;

[[nodiscard]] constexpr uint32_t PageCount(uint32_t total) {
  return (total + kPageSize - 1) / kPageSize;
}
// Bytes in front of the first record: Total and the End table.
[[nodiscard]] constexpr uint32_t FramingSize(uint32_t pages) {
  return kFieldSize + kFieldSize * pages;
}

// A 24-bit little-endian field (bytes/byte_order.h has loads of this width, not stores).
inline void StoreU24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
}

// A checked view of a stream's framing; the records still have to be decoded.
class PageFraming {
 public:
  // Reads Total and the End table. nullopt when the source is shorter than its table, an End
  // offset is not greater than the one before it (the first not greater than the table's
  // end) or lies beyond the source, or, for Total 0, the source is not exactly 00 00 00.
  // Bytes behind the last record are allowed, as the format's readers allow them.
  [[nodiscard]] static std::optional<PageFraming> Read(std::span<const uint8_t> src);

  [[nodiscard]] uint32_t total() const { return total_; }
  [[nodiscard]] uint32_t pages() const { return pages_; }
  // The record of page k < pages(), and the size it decodes to.
  [[nodiscard]] std::span<const uint8_t> Record(uint32_t k) const;
  [[nodiscard]] uint32_t PageBytes(uint32_t k) const;

 private:
  std::span<const uint8_t> src_;
  uint32_t total_ = 0;
  uint32_t pages_ = 0;
};

}  // namespace codec

#endif  // TARNWICK_COMPRESS_PAGE_FRAMING_H_
