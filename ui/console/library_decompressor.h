// The image tools' decompression and page codings, bound to the program's compression library.
#ifndef TARNWICK_UI_CONSOLE_LIBRARY_DECOMPRESSOR_H_
#define TARNWICK_UI_CONSOLE_LIBRARY_DECOMPRESSOR_H_

#include "compress/compression_library.h"
#include "rom/decompressor.h"
#include "rom/stream_coding.h"

namespace console {

// ROM-mode decompression through `library`, which must outlive the result.
[[nodiscard]] rom::Decompressor MakeDecompressor(const codec::CompressionLibrary& library);

// Each page coding on its own through `library` (version 4: LZX, version 3: LZ77), which must
// outlive the result.
[[nodiscard]] rom::StreamCodec MakeStreamCodec(const codec::CompressionLibrary& library);

}  // namespace console

#endif  // TARNWICK_UI_CONSOLE_LIBRARY_DECOMPRESSOR_H_
