// Both page codings behind the shared framing: page by page into the caller's buffer.
#include "compress/rom_codec.h"

#include <algorithm>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "compress/lz77_page_codec.h"
#include "compress/lzx_decoder.h"
#include "compress/lzx_encoder.h"
#include "compress/page_framing.h"
#include "compress/page_threads.h"

namespace codec {

namespace {

// The encoder of one coding, one per thread.
class PageEncoder {
 public:
  // False when the encoder's tables cannot be allocated.
  bool Create(PageCoding coding) {
    if (coding == PageCoding::kLzx) {
      lzx_ = LzxPageEncoder::Create();
      return lzx_ != nullptr;
    }
    lz77_ = Lz77PageEncoder::Create();
    return lz77_ != nullptr;
  }
  [[nodiscard]] std::optional<size_t> Encode(std::span<const uint8_t> page,
                                             std::span<uint8_t> out) {
    return lzx_ ? lzx_->Encode(page, out) : lz77_->Encode(page, out);
  }

 private:
  std::unique_ptr<LzxPageEncoder> lzx_;
  std::unique_ptr<Lz77PageEncoder> lz77_;
};

// Pages a thread codes between two looks at the progress: short enough for a progress box
// that moves, long enough that starting the threads costs next to nothing.
constexpr uint32_t kBatchPagesPerThread = 16;
// Room for one page's record while it waits for its place in the stream: a page coded in
// either coding takes far less (a record that would not fit here is coded again in place).
constexpr size_t kRecordRoom = 4 * kPageSize;

}  // namespace

uint32_t CompressRomStream(PageCoding coding, std::span<const uint8_t> src,
                           std::span<uint8_t> dst, const PageProgress& progress) {
  if (src.size() > kMaxRomData) return kCodecFailure;
  const auto total = static_cast<uint32_t>(src.size());
  const uint32_t pages = PageCount(total);
  const uint32_t front = FramingSize(pages);
  if (dst.size() < front) return kCodecFailure;
  // One encoder per thread; fewer threads where not all can have their tables.
  std::vector<PageEncoder> encoders(pages > 0 ? PageThreads(pages) : 0);
  for (size_t i = 0; i < encoders.size(); ++i) {
    if (!encoders[i].Create(coding)) {
      if (i == 0) return kCodecFailure;
      encoders.resize(i);
      break;
    }
  }
  auto threads = static_cast<unsigned>(encoders.size());
  const auto page_of = [&](uint32_t k) {
    const size_t start = size_t{k} * kPageSize;
    return src.subspan(start, std::min<size_t>(kPageSize, total - start));
  };
  // Nothing behind the 24-bit offsets' reach is ever written.
  const std::span<uint8_t> out = dst.first(std::min<size_t>(dst.size(), kMaxFieldValue));
  StoreU24(out.data(), total);
  size_t end = front;
  // Records coded on other threads wait in `room` until they are copied in page order; without
  // the memory for it, one thread codes them all.
  std::vector<uint8_t> room;
  if (threads > 1) {
    try {
      room.resize(size_t{threads} * kBatchPagesPerThread * kRecordRoom);
    } catch (const std::bad_alloc&) {
      threads = 1;
    }
  }
  const uint32_t batch_pages = threads > 1 ? threads * kBatchPagesPerThread : 1;
  std::vector<std::optional<size_t>> coded(batch_pages);
  for (uint32_t first = 0; first < pages; first += batch_pages) {
    const uint32_t count = std::min(batch_pages, pages - first);
    if (threads > 1) {
      RunOnThreads(threads, [&](unsigned t) {
        for (uint32_t i = t; i < count; i += threads) {
          coded[i] = encoders[t].Encode(
              page_of(first + i), std::span(room).subspan(size_t{i} * kRecordRoom, kRecordRoom));
        }
      });
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t k = first + i;
      std::optional<size_t> written;
      if (threads > 1 && coded[i] && *coded[i] <= out.size() - end) {
        std::copy_n(room.begin() + static_cast<ptrdiff_t>(size_t{i} * kRecordRoom), *coded[i],
                    out.begin() + static_cast<ptrdiff_t>(end));
        written = coded[i];
      } else {
        written = encoders[0].Encode(page_of(k), out.subspan(end));
      }
      if (!written) return kCodecFailure;
      end += *written;
      StoreU24(out.data() + kFieldSize * (k + 1), static_cast<uint32_t>(end));
      if (progress && !progress(k + 1, pages)) return kCodecFailure;
    }
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
