// Binding of the ROM-mode decompression.
#include "ui/console/library_decompressor.h"

namespace console {

rom::Decompressor MakeDecompressor(const codec::CompressionLibrary& library) {
  return
      [&library](std::span<const uint8_t> src, std::span<uint8_t> dst) -> std::optional<uint32_t> {
        if (src.size() > UINT32_MAX || dst.size() > UINT32_MAX) return std::nullopt;
        const uint32_t result =
            library.CEDecompressROM(src.data(), static_cast<uint32_t>(src.size()), dst.data(),
                                    static_cast<uint32_t>(dst.size()), 0, 1, 4096);
        if (codec::Failed(result)) return std::nullopt;
        return result;
      };
}

}  // namespace console
