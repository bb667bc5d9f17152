// Binding of the ROM-mode decompression.
#include "ui/console/library_decompressor.h"

namespace console {

rom::Decompressor MakeDecompressor(const codec::CompressionLibrary& library) {
  return [&library](std::span<const uint8_t> src, std::span<uint8_t> dst) {
    return library.DecompressRom(src, dst);
  };
}

}  // namespace console
