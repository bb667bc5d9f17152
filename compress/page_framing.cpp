// The framing of compressed ROM streams, shared by the LZX and the older LZ77 page coding.
//
// All numbers are little-endian and 24 bits wide (u24); nothing is aligned:
//
//   offset 0      u24       Total: size of the original data
//   offset 3      N x u24   End[k], k = 0 .. N-1, N = ceil(Total / 4096): offset, from the
//                           stream start, of the first byte behind page k's record
//   offset 3+3N   records   the N page records back to back, without gaps or padding
//
// Page k's record is [End[k-1], End[k]) (the first starts at 3 + 3N) and decodes to original
// bytes [4096k, min(4096(k+1), Total)). Each page is coded on its own: nothing reaches into
// another page. Total 0 is the 3-byte stream 00 00 00. Because the fields are 24 bits wide,
// neither the data nor the stream can reach 16 MiB. What a record holds depends on the
// coding: lzx_decoder.cpp and lz77_page_codec.cpp describe the two. A record of the newer
// coding starts with a 16-byte header and a signature; the older one has no header, which is
// how a reader that accepts both tells them apart page by page.
#include "compress/page_framing.h"

#include "bytes/byte_order.h"

namespace codec {

std::optional<PageFraming> PageFraming::Read(std::span<const uint8_t> src) {
  if (src.size() < kFieldSize) return std::nullopt;
  PageFraming f;
  f.src_ = src;
  f.total_ = bytes::LoadLe24(src.data());
  f.pages_ = PageCount(f.total_);
  if (f.pages_ == 0) {
    if (src.size() != kFieldSize) return std::nullopt;
    return f;
  }
  const uint32_t table_end = FramingSize(f.pages_);
  if (src.size() < table_end) return std::nullopt;
  uint32_t previous = table_end;
  for (uint32_t k = 0; k < f.pages_; ++k) {
    const uint32_t end = bytes::LoadLe24(src.data() + kFieldSize + kFieldSize * k);
    if (end <= previous || end > src.size()) return std::nullopt;
    previous = end;
  }
  return f;
}

std::span<const uint8_t> PageFraming::Record(uint32_t k) const {
  const uint8_t* table = src_.data() + kFieldSize;
  const uint32_t start =
      k == 0 ? FramingSize(pages_) : bytes::LoadLe24(table + kFieldSize * (k - 1));
  const uint32_t end = bytes::LoadLe24(table + kFieldSize * k);
  return src_.subspan(start, end - start);
}

uint32_t PageFraming::PageBytes(uint32_t k) const {
  const uint32_t start = k * kPageSize;
  return total_ - start < kPageSize ? total_ - start : kPageSize;
}

}  // namespace codec
