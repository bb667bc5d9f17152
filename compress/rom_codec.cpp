// Both page codings behind the shared framing: page by page into the caller's buffer.
#include "compress/rom_codec.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "compress/lz77_page_codec.h"
#include "compress/lzx_decoder.h"
#include "compress/lzx_encoder.h"
#include "compress/page_framing.h"

namespace codec {

uint32_t CompressRomStream(PageCoding coding, std::span<const uint8_t> src,
                           std::span<uint8_t> dst, const PageProgress& progress) {
  if (src.size() > kMaxRomData) return kCodecFailure;
  const auto total = static_cast<uint32_t>(src.size());
  const uint32_t pages = PageCount(total);
  const uint32_t front = FramingSize(pages);
  if (dst.size() < front) return kCodecFailure;
  std::unique_ptr<LzxPageEncoder> lzx;
  std::unique_ptr<Lz77PageEncoder> lz77;
  if (pages > 0) {
    if (coding == PageCoding::kLzx) {
      lzx = LzxPageEncoder::Create();
      if (!lzx) return kCodecFailure;
    } else {
      lz77 = Lz77PageEncoder::Create();
      if (!lz77) return kCodecFailure;
    }
  }
  // Nothing behind the 24-bit offsets' reach is ever written.
  const std::span<uint8_t> out = dst.first(std::min<size_t>(dst.size(), kMaxFieldValue));
  StoreU24(out.data(), total);
  size_t end = front;
  for (uint32_t k = 0; k < pages; ++k) {
    const size_t start = size_t{k} * kPageSize;
    const std::span<const uint8_t> page =
        src.subspan(start, std::min<size_t>(kPageSize, total - start));
    const std::optional<size_t> written =
        lzx ? lzx->Encode(page, out.subspan(end)) : lz77->Encode(page, out.subspan(end));
    if (!written) return kCodecFailure;
    end += *written;
    StoreU24(out.data() + kFieldSize * (k + 1), static_cast<uint32_t>(end));
    if (progress && !progress(k + 1, pages)) return kCodecFailure;
  }
  return static_cast<uint32_t>(end);
}

uint32_t DecompressRomStream(PageReading reading, std::span<const uint8_t> src,
                             std::span<uint8_t> dst, const PageProgress& progress) {
  const std::optional<PageFraming> framing = PageFraming::Read(src);
  if (!framing || framing->total() > dst.size()) return kCodecFailure;
  LzxPageDecoder lzx;
  for (uint32_t k = 0; k < framing->pages(); ++k) {
    const std::span<const uint8_t> record = framing->Record(k);
    const uint32_t size = framing->PageBytes(k);
    const std::span<uint8_t> page = dst.subspan(size_t{k} * kPageSize, size);
    const bool is_lzx = reading == PageReading::kLzx ||
                        (reading == PageReading::kEither && IsLzxRecord(record, size));
    if (is_lzx ? !lzx.Decode(record, page) : !DecodeLz77Page(record, page)) return kCodecFailure;
    if (progress && !progress(k + 1, framing->pages())) return kCodecFailure;
  }
  return framing->total();
}

}  // namespace codec
