// Binding of the ROM-mode decompression and of the two page codings.
#include "ui/console/library_decompressor.h"

#include "bytes/byte_order.h"
#include "compress/page_framing.h"

namespace console {

rom::Decompressor MakeDecompressor(const codec::CompressionLibrary& library) {
  return [&library](std::span<const uint8_t> src, std::span<uint8_t> dst) {
    return library.DecompressRom(src, dst);
  };
}

rom::StreamCodec MakeStreamCodec(const codec::CompressionLibrary& library) {
  rom::StreamCodec streams;
  streams.decode = [&library](rom::StreamCoding coding, std::span<const uint8_t> stream)
      -> std::optional<std::vector<uint8_t>> {
    // The stream's first field is the size of its data: the buffer it decodes into, exactly.
    if (stream.size() < codec::kFieldSize) return std::nullopt;
    const uint32_t total = bytes::LoadLe24(stream.data());
    std::vector<uint8_t> out(total);
    const auto op = coding == rom::StreamCoding::kLzx ? codec::Operation::kDecompress4
                                                      : codec::Operation::kDecompress3;
    const auto n = library.CallChecked(op, stream, out);
    if (!n || *n != total) return std::nullopt;
    return out;
  };
  streams.encode = [&library](rom::StreamCoding coding, std::span<const uint8_t> bytes)
      -> std::optional<std::vector<uint8_t>> {
    if (bytes.size() > codec::kMaxFieldValue) return std::nullopt;
    // Room for a page that does not compress at all, in either coding, with its framing.
    const size_t pages = codec::PageCount(static_cast<uint32_t>(bytes.size()));
    std::vector<uint8_t> out(bytes.size() + bytes.size() / 4 + 512 * (pages + 1));
    const auto op = coding == rom::StreamCoding::kLzx ? codec::Operation::kCompress4
                                                      : codec::Operation::kCompress3;
    const auto n = library.CallChecked(op, bytes, out);
    if (!n) return std::nullopt;
    out.resize(*n);
    return out;
  };
  return streams;
}

}  // namespace console
