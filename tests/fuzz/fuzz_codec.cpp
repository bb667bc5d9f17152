// Fuzz target: each decompression of the built-in codec on any bytes, and the round trip of
// compression on the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "compress/lz_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const auto n = static_cast<uint32_t>(size);
  // Exact-size copies, so that a read one byte past the input is caught.
  std::vector<uint8_t> in(data, data + size);
  for (codec::Format f : {codec::Format::kVersion3, codec::Format::kVersion4}) {
    std::vector<uint8_t> out(1u << 16);
    const uint32_t got =
        codec::Decompress(f, in.data(), n, out.data(), static_cast<uint32_t>(out.size()));
    if (got > out.size()) std::abort();

    std::vector<uint8_t> packed(codec::MaxCompressedSize(n));
    const uint32_t p =
        codec::Compress(f, in.data(), n, packed.data(), static_cast<uint32_t>(packed.size()));
    if (p == 0 || p > packed.size()) std::abort();
    std::vector<uint8_t> exact(packed.begin(), packed.begin() + p);
    std::vector<uint8_t> back(size);
    const uint32_t r = codec::Decompress(f, exact.data(), p, back.data(), n);
    if (r != n || back != in) {
      if (n != 0) std::abort();
    }
    // A capacity one byte short fails and writes nothing past it.
    if (p > 1) {
      std::vector<uint8_t> tight(p - 1);
      if (codec::Compress(f, in.data(), n, tight.data(), p - 1) != 0) std::abort();
    }
  }
  return 0;
}
