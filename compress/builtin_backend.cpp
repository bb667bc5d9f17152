// The built-in backend: the project's own LZ77 codec in place of both platform libraries.
#include "compress/compression_library.h"
#include "compress/lz_codec.h"

namespace codec {

namespace {

// The codec's pages are 4096 bytes; any other page argument is refused.
constexpr bool PageOk(uint32_t page) { return page == kPageSize; }

class BuiltinLibrary final : public CompressionLibrary {
 public:
  uint32_t CECompress3(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                       uint32_t, uint32_t page) const override {
    return PageOk(page) ? Compress(Format::kVersion3, src, src_len, dst, dst_cap) : 0;
  }
  uint32_t CECompress4(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                       uint32_t, uint32_t page) const override {
    return PageOk(page) ? Compress(Format::kVersion4, src, src_len, dst, dst_cap) : 0;
  }
  uint32_t CEDecompress3(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                         uint32_t, uint32_t, uint32_t page) const override {
    return PageOk(page) ? Decompress(Format::kVersion3, src, src_len, dst, dst_cap) : 0;
  }
  uint32_t CEDecompress4(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                         uint32_t, uint32_t, uint32_t page) const override {
    return PageOk(page) ? Decompress(Format::kVersion4, src, src_len, dst, dst_cap) : 0;
  }
  // ROM mode reads the version-3 stream.
  uint32_t CEDecompressROM(const uint8_t* src, uint32_t src_len, uint8_t* dst, uint32_t dst_cap,
                           uint32_t, uint32_t, uint32_t page) const override {
    return PageOk(page) ? Decompress(Format::kVersion3, src, src_len, dst, dst_cap) : 0;
  }
};

}  // namespace

std::unique_ptr<CompressionLibrary> CompressionLibrary::Bind(std::string& missing) {
  missing.clear();
  return std::make_unique<BuiltinLibrary>();
}

}  // namespace codec
