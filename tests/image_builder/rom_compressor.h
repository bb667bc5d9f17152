// Compressors for the synthetic images: file contents in either page coding of the platform,
// as real images store them.
#ifndef TARNWICK_TESTS_IMAGE_BUILDER_ROM_COMPRESSOR_H_
#define TARNWICK_TESTS_IMAGE_BUILDER_ROM_COMPRESSOR_H_

#include "compress/rom_codec.h"
#include "tests/image_builder/demo_image.h"

namespace testimg {

// Stores a compressed entry in the newer (LZX) or the older (LZ77) coding; content that
// cannot be compressed is stored as it is.
[[nodiscard]] inline Compressor RomCompressor(codec::PageCoding coding) {
  return [coding](const Bytes& in) -> std::optional<Bytes> {
    Bytes out(in.size() + in.size() / 8 + 256 * (in.size() / 4096 + 1));
    const uint32_t n = codec::CompressRomStream(coding, in, out);
    if (n == codec::kCodecFailure) return std::nullopt;
    out.resize(n);
    return out;
  };
}

}  // namespace testimg

#endif  // TARNWICK_TESTS_IMAGE_BUILDER_ROM_COMPRESSOR_H_
