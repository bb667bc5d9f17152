// "Datei speichern": writes one file of the image to a file on the PC, as stored or
// decompressed. The image is only read.
#ifndef TARNWICK_ROM_EXPORT_H_
#define TARNWICK_ROM_EXPORT_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "rom/action_outcome.h"
#include "rom/analysis.h"
#include "rom/rom_image.h"

namespace rom {

// The ROM-mode decompression: (source, source length, destination, capacity, 0, 1, 4096) ->
// bytes written, or a failure value.
using RomDecompressor = std::function<uint32_t(const uint8_t*, uint32_t, uint8_t*, uint32_t,
                                               uint32_t, uint32_t, uint32_t)>;

struct ExportTarget {
  bool is_module = false;
  uint32_t index = 0;
  std::string name;
  std::string dialog_title;  // save Item "name" to File
};

struct ExportSelection {
  std::optional<ExportTarget> target;  // none: nothing happens, before any dialog
  std::optional<std::string> status1;  // "save " + name, shown before the dialog
};

// The entry to export. With the sorted list shown: the file whose stored bytes begin at the
// selected memory-map line's start. Otherwise: the module or file of the selected log line,
// found from its position among the log's module or file lines.
[[nodiscard]] ExportSelection SelectExportEntry(RomImage& image, const RomLists& lists,
                                                bool sorted_shown, int64_t log_index,
                                                int64_t map_index);

// Writes the entry to `out_path` after the save dialog. A module, a failed decompression and
// stored bytes outside the buffer create no file. Status panel 1 is cleared at the end.
[[nodiscard]] ActionOutcome ExportEntry(RomImage& image, const ExportTarget& target,
                                        const std::string& out_path, bool raw,
                                        const RomDecompressor& decompress);

// The save dialog was cancelled: panel 1 is cleared.
[[nodiscard]] ActionOutcome ExportCancelled();

}  // namespace rom

#endif  // TARNWICK_ROM_EXPORT_H_
