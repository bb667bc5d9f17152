// Fuzz target: the decoders of both page codings and of ROM mode on any bytes, and the
// compression round trip of both codings on the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "compress/rom_codec.h"

namespace {

// Room for any stream the encoders write for `n` bytes.
size_t Room(size_t n) { return n + n / 4 + 256 * (n / 4096 + 1); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 18)) return 0;
  // Exact-size copies, so that a read one byte past the input is caught.
  const std::vector<uint8_t> in(data, data + size);
  for (codec::PageReading r :
       {codec::PageReading::kLzx, codec::PageReading::kLz77, codec::PageReading::kEither}) {
    // A capacity of 64 KiB and one that the stream's own Total fills exactly.
    const size_t total = size >= 3 ? (data[0] | data[1] << 8 | data[2] << 16) : 0;
    for (size_t cap : {size_t{1} << 16, total <= (1u << 16) ? total : size_t{0}}) {
      std::vector<uint8_t> out(cap);
      const uint32_t got = codec::DecompressRomStream(r, in, out);
      if (got != codec::kCodecFailure && got > cap) std::abort();
    }
  }
  // The encoders are slow beside the decoders: round trips of small inputs keep the run fast.
  if (size > 2048) return 0;
  for (codec::PageCoding c : {codec::PageCoding::kLzx, codec::PageCoding::kLz77}) {
    std::vector<uint8_t> packed(Room(size));
    const uint32_t p = codec::CompressRomStream(c, in, packed);
    if (p == codec::kCodecFailure || p > packed.size()) std::abort();
    const std::vector<uint8_t> exact(packed.begin(), packed.begin() + p);
    std::vector<uint8_t> back(size);
    const codec::PageReading own =
        c == codec::PageCoding::kLzx ? codec::PageReading::kLzx : codec::PageReading::kLz77;
    for (codec::PageReading r : {own, codec::PageReading::kEither}) {
      if (codec::DecompressRomStream(r, exact, back) != size || back != in) std::abort();
    }
    // A capacity one byte short fails.
    std::vector<uint8_t> tight(p - 1);
    if (codec::CompressRomStream(c, in, tight) != codec::kCodecFailure) std::abort();
  }
  return 0;
}
