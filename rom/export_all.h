// Exporting everything an image holds into one folder: every module rebuilt as a PE file and
// every file decompressed (or as stored where it cannot be decompressed).
//
// Names come from the image, so they are checked before they become paths: a name that could
// leave the folder or name a device is refused, and a name that an earlier item already took
// (compared without case, as the image's own file system does) gets a suffix. Each output is
// written whole or not at all. The image is only read.
#ifndef TARNWICK_ROM_EXPORT_ALL_H_
#define TARNWICK_ROM_EXPORT_ALL_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "rom/decompressor.h"
#include "rom/rom_image.h"

namespace rom {

// Why an image name cannot be a file name inside the target folder; nullopt when it can. Refused:
// the empty name, "." and "..", slashes and backslashes, a colon (drive letters, streams), the
// other characters Windows forbids (< > " | ? *), control characters, a trailing dot or blank
// (Windows drops them), device names (CON, PRN, AUX, NUL, COM0-9, LPT0-9 and their superscript
// forms, CONIN$, CONOUT$) with or without an extension, and names above 255 bytes.
[[nodiscard]] std::optional<std::string> UnsafeNameReason(const std::string& name);

// Hands out file names in one folder: the first use of a name keeps it; a later name that equals
// an earlier one without regard to case (Windows-1252 letters included) gets "_2", "_3" ...
// before its extension.
class ExportNames {
 public:
  // The name to write `name` under (`name` must have passed UnsafeNameReason).
  [[nodiscard]] std::string Claim(const std::string& name);

 private:
  std::set<std::string> taken_;  // folded names
};

enum class ExportKind { kModule, kFile };

enum class ExportStatus {
  kWritten,     // a rebuilt module, a decompressed file or an uncompressed file
  kWrittenRaw,  // a compressed file that could not be decompressed: its stored bytes
  kRefused,     // not written: unsafe name, entry outside the buffer, module not rebuilt
  kFileError,   // the system refused to write it
};

struct ExportItem {
  ExportKind kind = ExportKind::kFile;
  uint32_t index = 0;      // entry index in its table
  std::string image_name;  // the name in the image (Windows-1252)
  std::string file_name;   // the name written in the folder (Windows-1252); empty if none
  ExportStatus status = ExportStatus::kRefused;
  uint64_t bytes = 0;  // bytes written
  // One line for the user: "M name -> file: what was written", or why nothing was.
  std::string line;
  // For a module: the rebuild's log (sections, moves, directories left empty).
  std::vector<std::string> details;
};

struct ExportAllResult {
  // The folder could not be made, or the image has no ROM header; nothing was written.
  std::optional<std::string> error;
  std::string layout_line;  // the e32_rom layout found, for the log
  std::vector<ExportItem> items;
  uint32_t written = 0;
  uint32_t written_raw = 0;
  uint32_t refused = 0;
  uint32_t file_errors = 0;
};

// Called after each item with the items done and the total, for a progress display.
using ExportProgress = std::function<void(uint64_t done, uint64_t total)>;
// Called with each item's result as soon as it is known.
using ExportItemCallback = std::function<void(const ExportItem&)>;

// Writes every module (rebuilt by BuildPeFile) and then every file of the image into `dir`,
// creating the folder when it is missing. File data follows the single-file export: a file with
// the C bit is decompressed through `decompress` and must give exactly nRealFileSize bytes, else
// its stored bytes are written and the line says so; a file without it gives nRealFileSize bytes
// of its stored bytes. An existing file of the same name in `dir` is replaced. Reads the image
// only.
[[nodiscard]] ExportAllResult ExportAll(const RomImage& image, const std::string& dir,
                                        const Decompressor& decompress,
                                        const ExportItemCallback& on_item = {},
                                        const ExportProgress& on_progress = {});

}  // namespace rom

#endif  // TARNWICK_ROM_EXPORT_ALL_H_
