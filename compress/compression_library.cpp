// The constants of the calls, shared by both backends.
#include "compress/compression_library.h"

namespace codec {

uint32_t CompressionLibrary::Call(Operation op, const uint8_t* src, uint32_t src_len, uint8_t* dst,
                                  uint32_t dst_cap) const {
  switch (op) {
    case Operation::kCompress3:
      return CECompress3(src, src_len, dst, dst_cap, 1, 4096);
    case Operation::kCompress4:
      return CECompress4(src, src_len, dst, dst_cap, 1, 4096);
    case Operation::kDecompress3:
      return CEDecompress3(src, src_len, dst, dst_cap, 0, 1, 4096);
    case Operation::kDecompress4:
      return CEDecompress4(src, src_len, dst, dst_cap, 0, 1, 4096);
    case Operation::kDecompressRom:
      return CEDecompressROM(src, src_len, dst, dst_cap, 0, 1, 4096);
  }
  return 0;
}

}  // namespace codec
