// The compressed streams of ROM files and module sections, in both of the platform's page
// codings: the newer LZX pages and the older byte-aligned LZ77 pages, in the same framing.
#ifndef TARNWICK_COMPRESS_ROM_CODEC_H_
#define TARNWICK_COMPRESS_ROM_CODEC_H_

#include <cstdint>
#include <functional>
#include <span>

namespace codec {

enum class PageCoding {
  kLzx,   // newer images: LZX pages with a header and signature
  kLz77,  // older images (year-2000 generation): byte-aligned LZ77 pages
};

enum class PageReading {
  kLzx,     // only LZX pages
  kLz77,    // only LZ77 pages
  kEither,  // decided page by page: a page with the LZX header and signature is LZX
};

// The result of a failed call: the top bit is set, so that 0 stays the size of the empty
// stream's data.
inline constexpr uint32_t kCodecFailure = 0xFFFFFFFF;

// Data of 16 MiB or more cannot be expressed: Total and the page offsets are 24-bit fields.
inline constexpr uint32_t kMaxRomData = 0xFFFFFF;

// Told after each page of a call: the pages done so far and the pages in all. False stops the
// call, which then fails; what it wrote is no stream.
using PageProgress = std::function<bool(uint32_t done, uint32_t pages)>;

// Compresses `src` into `dst` (its size is the capacity). The stream's size, or kCodecFailure
// when `src` reaches 16 MiB, the stream would reach 16 MiB, the encoder's tables cannot be
// allocated, or the stream does not fit `dst`; nothing is written past dst's end. Equal
// inputs give equal streams. An empty `src` gives the 3 bytes 00 00 00.
[[nodiscard]] uint32_t CompressRomStream(PageCoding coding, std::span<const uint8_t> src,
                                         std::span<uint8_t> dst,
                                         const PageProgress& progress = {});

// Decompresses a stream into `dst`. The number of bytes written (Total), or kCodecFailure
// when the framing or any page is damaged, a page is not of the coding that `reading` allows,
// or Total exceeds dst's size. Never reads outside `src` nor writes outside `dst`, and
// allocates nothing.
[[nodiscard]] uint32_t DecompressRomStream(PageReading reading, std::span<const uint8_t> src,
                                           std::span<uint8_t> dst,
                                           const PageProgress& progress = {});

}  // namespace codec

#endif  // TARNWICK_COMPRESS_ROM_CODEC_H_
