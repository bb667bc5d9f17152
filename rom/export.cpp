// Export of a file entry's stored or decompressed bytes.
#include "rom/export.h"

#include <memory>
#include <new>

#include "rom/file_io.h"
#include "rom/rom_header.h"
#include "rom/selection.h"
#include "rom/text_format.h"

namespace rom {

namespace {

// Index among the lines of `log` up to `index` that begin with `prefix`.
int64_t OrdinalOfKind(const LineList& log, int64_t index, const char* prefix) {
  int64_t n = -1;
  for (int64_t i = 0; i <= index; ++i) {
    if (log[static_cast<size_t>(i)].rfind(prefix, 0) == 0) ++n;
  }
  return n;
}

ExportTarget Target(bool is_module, uint32_t index, std::string name) {
  ExportTarget t{is_module, index, std::move(name), {}};
  t.dialog_title = "save Item \"" + t.name + "\" to File";
  return t;
}

ActionOutcome Written(std::optional<std::string> status2) {
  ActionOutcome o;
  o.status = ActionStatus::kDone;
  o.status1 = "";
  o.status2 = std::move(status2);
  return o;
}

ActionOutcome Failed(const std::string& text) {
  ActionOutcome o;
  o.status = ActionStatus::kRefused;
  o.status1 = "";
  o.status2 = text;
  o.beep = true;
  o.reason = text;
  return o;
}

}  // namespace

ExportSelection SelectExportEntry(RomImage& image, const RomLists& lists, bool sorted_shown,
                                  int64_t log_index, int64_t map_index) {
  ExportSelection sel;
  if (sorted_shown) {
    const std::string* line = SelectedLine(lists.MemoryMap, map_index);
    if (!line || !IsFileLine(*line)) return sel;
    const auto offset = LineStart(*line);
    if (!offset) return sel;
    const int32_t i = FindFileByOffset(image, *offset);
    if (i < 0) return sel;
    const auto index = static_cast<uint32_t>(i);
    std::string name = image.ReadRomString(FileEntry(image, index)->Get(filesentry::lpszFileName));
    sel.status1 = "save " + name;
    sel.target = Target(false, index, std::move(name));
    return sel;
  }
  const std::string* line = SelectedLine(lists.AnalysisLog, log_index);
  if (!line) return sel;
  const bool is_module = line->rfind("M[", 0) == 0;
  if (!is_module && line->rfind("F[", 0) != 0) return sel;
  const int64_t n = OrdinalOfKind(lists.AnalysisLog, log_index, is_module ? "M[" : "F[");
  const auto entry = is_module ? ModuleEntry(image, static_cast<uint32_t>(n))
                               : FileEntry(image, static_cast<uint32_t>(n));
  if (!entry) return sel;
  const uint32_t name_field = is_module ? tocentry::lpszFileName : filesentry::lpszFileName;
  sel.target =
      Target(is_module, static_cast<uint32_t>(n), image.ReadRomString(entry->Get(name_field)));
  return sel;
}

ActionOutcome ExportEntry(RomImage& image, const ExportTarget& target, const std::string& out_path,
                          bool raw, const RomDecompressor& decompress) {
  if (target.is_module) return Failed("Export of " + target.name + " yet not implemented");
  const auto entry = FileEntry(image, target.index);
  if (!entry) return Failed("Eintrag " + std::to_string(target.index) + " gibt es nicht mehr");

  const uint32_t offset = OffsetOf(image, entry->Get(filesentry::ulLoadOffset));
  const uint32_t comp = entry->Get(filesentry::nCompFileSize);
  const uint32_t real = entry->Get(filesentry::nRealFileSize);
  const bool compressed = (entry->Get(filesentry::dwFileAttributes) & kAttrCompressed) != 0;
  const uint32_t stored = raw || compressed ? comp : real;
  if (!image.Fits(offset, stored)) {
    return Failed("Die Daten von " + target.name + " (" + H8(offset) + ", " +
                  std::to_string(stored) +
                  " Bytes) liegen au\xDF"
                  "erhalb des Puffers");
  }
  const uint8_t* bytes = image.Data() + offset;

  if (raw || !compressed) {
    const std::string error = WriteWholeFile(out_path, bytes, stored);
    if (!error.empty()) {
      ActionOutcome o = FileError(error);
      o.status1 = "";
      return o;
    }
    return Written(std::nullopt);
  }

  // Decompress into memory first: the file is created only when there is something to write.
  const std::string failed = "Error decompressing " + target.name;
  if (real > static_cast<uint64_t>(kMaxBufferSize)) return Failed(failed);
  const uint32_t capacity = real + 4096;
  std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[capacity]);
  if (!out || !decompress) return Failed(failed);
  const uint32_t result = decompress(bytes, comp, out.get(), capacity, 0, 1, 4096);
  if (static_cast<int32_t>(result) != static_cast<int32_t>(real) ||
      static_cast<int32_t>(real) < 0) {
    return Failed(failed);
  }
  const std::string error = WriteWholeFile(out_path, out.get(), real);
  if (!error.empty()) {
    ActionOutcome o = FileError(error);
    o.status1 = "";
    return o;
  }
  return Written("File " + target.name + " decompressed & written");
}

ActionOutcome ExportCancelled() {
  ActionOutcome o;
  o.status1 = "";
  o.reason = "export cancelled";
  return o;
}

}  // namespace rom
