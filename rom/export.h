// Taking one entry's bytes out of the image: a file as stored or decompressed. The image is
// only read.
#ifndef TARNWICK_ROM_EXPORT_H_
#define TARNWICK_ROM_EXPORT_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/decompressor.h"
#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// Largest decompressed file an export makes room for. The stream framing of compressed files
// cannot describe 16 MiB or more, so a larger recorded real size is damage; the cap keeps such
// a size from claiming memory it could never fill.
inline constexpr uint32_t kMaxExportFileSize = uint32_t{1} << 26;

// A module or file entry of the tables.
struct EntryRef {
  enum class Kind { kModule, kFile };
  Kind kind = Kind::kFile;
  uint32_t index = 0;
  bool operator==(const EntryRef&) const = default;
};

// The entry's name as the image stores it (Windows-1252); empty when it does not exist.
[[nodiscard]] std::string EntryName(const RomImage& image, const EntryRef& entry);

struct Exported {
  std::vector<uint8_t> bytes;
  bool decompressed = false;
  // For a module: the e32_rom layout found and the rebuild's log (sections, moves, directories
  // left empty).
  std::vector<std::string> details;
};

// The bytes of a compressed file: `stored` decompressed through `decompress`, which must give
// exactly `real_size` bytes (a stream that gives more is refused, not cut). Refused (kind
// kDecompression, `name`, and the reason in `reason`) without a decompression, above
// kMaxExportFileSize, when memory runs out, and when the stream does not give the real size.
[[nodiscard]] Result<std::vector<uint8_t>> DecompressFile(std::span<const uint8_t> stored,
                                                          uint32_t real_size,
                                                          const Decompressor& decompress,
                                                          const std::string& name);

// A file's bytes: as stored (nCompFileSize bytes) when `raw`; otherwise nRealFileSize bytes of
// the stored bytes, or, with the C bit set, the stored bytes decompressed, which must give
// exactly nRealFileSize bytes. A module's bytes: the module rebuilt as a PE file, whatever
// `raw` says (a module has no single stored form). Refused when the stored bytes do not lie in
// the buffer, the decompression fails, or the module cannot be read or rebuilt.
[[nodiscard]] Result<Exported> ExportEntry(const RomImage& image, const EntryRef& entry, bool raw,
                                           const Decompressor& decompress);

}  // namespace rom

#endif  // TARNWICK_ROM_EXPORT_H_
