// The decompression that the image tools use for compressed files and module sections.
//
// rom/ does not know the compression formats: the program hands in the ROM-mode decompression
// of its compression library, which reads either page coding of the platform.
#ifndef TARNWICK_ROM_DECOMPRESSOR_H_
#define TARNWICK_ROM_DECOMPRESSOR_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace rom {

// Decodes the stream `stored` into `out` (its size is the capacity). The bytes written, or
// nullopt when the stream is not valid or its data does not fit `out`.
using Decompressor =
    std::function<std::optional<uint32_t>(std::span<const uint8_t> stored, std::span<uint8_t> out)>;

}  // namespace rom

#endif  // TARNWICK_ROM_DECOMPRESSOR_H_
