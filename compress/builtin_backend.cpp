// The built-in backend: this project's codecs of the platform's two page codings in place of
// both platform libraries. Elsewhere than on Windows it is the only backend.
#include "compress/backend_choice.h"
#include "compress/compression_library.h"
#include "compress/page_framing.h"
#include "compress/rom_codec.h"

namespace codec {

namespace {

// The pages are 4096 bytes; any other page argument is refused, as are the other constants'
// wrong values.
constexpr bool CompressArgsOk(uint32_t one, uint32_t page) { return one == 1 && page == kPageSize; }
constexpr bool DecompressArgsOk(uint32_t zero, uint32_t one, uint32_t page) {
  return zero == 0 && one == 1 && page == kPageSize;
}

std::span<const uint8_t> Source(const uint8_t* src, uint32_t len) {
  return src ? std::span<const uint8_t>(src, len) : std::span<const uint8_t>();
}
std::span<uint8_t> Destination(uint8_t* dst, uint32_t cap) {
  return dst ? std::span<uint8_t>(dst, cap) : std::span<uint8_t>();
}

// Version 4 (Compress.dll) is the newer LZX coding, version 3 (CECompress.dll) the older
// LZ77 coding; ROM mode reads both, page by page, so that images of either generation open.
class BuiltinLibrary final : public CompressionLibrary {
 public:
  uint32_t CECompress3(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                       uint32_t one, uint32_t page) const override {
    return CompressArgsOk(one, page) ? Invoke(Operation::kCompress3, src, src_len, dst, dst_cap, {})
                                     : kCodecFailure;
  }
  uint32_t CECompress4(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                       uint32_t one, uint32_t page) const override {
    return CompressArgsOk(one, page) ? Invoke(Operation::kCompress4, src, src_len, dst, dst_cap, {})
                                     : kCodecFailure;
  }
  uint32_t CEDecompress3(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                         uint32_t zero, uint32_t one, uint32_t page) const override {
    return DecompressArgsOk(zero, one, page)
               ? Invoke(Operation::kDecompress3, src, src_len, dst, dst_cap, {})
               : kCodecFailure;
  }
  uint32_t CEDecompress4(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                         uint32_t zero, uint32_t one, uint32_t page) const override {
    return DecompressArgsOk(zero, one, page)
               ? Invoke(Operation::kDecompress4, src, src_len, dst, dst_cap, {})
               : kCodecFailure;
  }
  uint32_t CEDecompressROM(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                           uint32_t zero, uint32_t one, uint32_t page) const override {
    return DecompressArgsOk(zero, one, page)
               ? Invoke(Operation::kDecompressRom, src, src_len, dst, dst_cap, {})
               : kCodecFailure;
  }

 protected:
  // The codecs behind every operation, telling each page.
  uint32_t Invoke(Operation op, const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t cap,
                  const PageProgress& progress) const override {
    if (!src && src_len != 0) return kCodecFailure;
    const std::span<const uint8_t> in = Source(src, src_len);
    const std::span<uint8_t> out = Destination(dst, cap);
    switch (op) {
      case Operation::kCompress3:
        return CompressRomStream(PageCoding::kLz77, in, out, progress);
      case Operation::kCompress4:
        return CompressRomStream(PageCoding::kLzx, in, out, progress);
      case Operation::kDecompress3:
        return DecompressRomStream(PageReading::kLz77, in, out, progress);
      case Operation::kDecompress4:
        return DecompressRomStream(PageReading::kLzx, in, out, progress);
      case Operation::kDecompressRom:
        return DecompressRomStream(PageReading::kEither, in, out, progress);
    }
    return kCodecFailure;
  }
};

}  // namespace

std::unique_ptr<CompressionLibrary> MakeBuiltinLibrary() {
  return std::make_unique<BuiltinLibrary>();
}

#if !defined(_WIN32)
std::unique_ptr<CompressionLibrary> CompressionLibrary::Bind(std::string& missing) {
  missing.clear();
  return MakeBuiltinLibrary();
}
#endif

}  // namespace codec
