// The constants of the calls and the reading of their results, shared by both backends.
#include "compress/compression_library.h"

namespace codec {

namespace {

constexpr uint32_t kTopBit = 0x80000000;
constexpr uint8_t kEmptyStream[] = {0, 0, 0};

bool IsCompression(Operation op) {
  return op == Operation::kCompress3 || op == Operation::kCompress4;
}

}  // namespace

uint32_t CompressionLibrary::Invoke(Operation op, const uint8_t* src, uint32_t src_len,
                                   uint8_t* dst, uint32_t cap,
                                   const PageProgress& /*progress*/) const {
  switch (op) {
    case Operation::kCompress3:
      return CECompress3(src, src_len, dst, cap, kArgOne, kArgPageSize);
    case Operation::kCompress4:
      return CECompress4(src, src_len, dst, cap, kArgOne, kArgPageSize);
    case Operation::kDecompress3:
      return CEDecompress3(src, src_len, dst, cap, kArgZero, kArgOne, kArgPageSize);
    case Operation::kDecompress4:
      return CEDecompress4(src, src_len, dst, cap, kArgZero, kArgOne, kArgPageSize);
    case Operation::kDecompressRom:
      return CEDecompressROM(src, src_len, dst, cap, kArgZero, kArgOne, kArgPageSize);
  }
  return kTopBit;
}

std::optional<uint32_t> CompressionLibrary::CallChecked(Operation op, std::span<const uint8_t> src,
                                                        std::span<uint8_t> dst, uint32_t* raw,
                                                        const PageProgress& progress) const {
  if (raw) *raw = 0;
  if (src.size() > UINT32_MAX || dst.size() > UINT32_MAX) return std::nullopt;
  const auto src_len = static_cast<uint32_t>(src.size());
  const auto cap = static_cast<uint32_t>(dst.size());
  const uint32_t result = Invoke(op, src.data(), src_len, dst.data(), cap, progress);
  if (raw) *raw = result;
  if ((result & kTopBit) != 0 || result > cap) return std::nullopt;
  if (result == 0) {
    const bool empty_stream =
        src.size() == sizeof kEmptyStream && src[0] == 0 && src[1] == 0 && src[2] == 0;
    if (IsCompression(op) || !empty_stream) return std::nullopt;
  }
  return result;
}

std::optional<uint32_t> CompressionLibrary::DecompressRom(std::span<const uint8_t> src,
                                                          std::span<uint8_t> dst) const {
  return CallChecked(Operation::kDecompressRom, src, dst);
}

}  // namespace codec
