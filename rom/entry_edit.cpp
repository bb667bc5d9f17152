// The attribute box and the image save.
#include "rom/entry_edit.h"

#include "rom/edit_steps.h"
#include "rom/file_io.h"
#include "rom/rom_header.h"
#include "rom/selection.h"
#include "rom/text_format.h"

namespace rom {

namespace {

std::string WithDollar(const std::string& text) {
  return !text.empty() && text[0] == '$' ? text : "$" + text;
}

}  // namespace

std::optional<EditBoxContent> EntryEditButtonClick(RomImage& image, const LineList& map,
                                                   int64_t index, EditState& state) {
  state.EditPending = false;
  const std::string* line = SelectedLine(map, index);
  if (!line) return std::nullopt;
  const auto offset = LineStart(*line);
  if (!offset) return std::nullopt;
  state.EditEntryIndex = -1;
  if (!IsFileLine(*line)) return std::nullopt;
  state.EditPending = true;
  const int32_t i = FindFileByOffset(image, *offset);
  if (i < 0) return std::nullopt;
  state.EditEntryIndex = i;

  const RecordView e = *FileEntry(image, static_cast<uint32_t>(i));
  const uint32_t attributes = e.Get(filesentry::dwFileAttributes);
  EditBoxContent box;
  box.status1 = "edit " + image.ReadRomString(e.Get(filesentry::lpszFileName));
  box.att_text = "$" + H8(attributes);
  for (size_t k = 0; k < 4; ++k) box.checks[k] = (attributes & kAttributeBoxBits[k]) != 0;
  box.real_text = std::to_string(e.Get(filesentry::nRealFileSize));
  return box;
}

std::optional<std::string> CheckBoxClick(const std::string& att_text,
                                         const std::array<bool, 4>& checks) {
  auto word = ParseFieldWordLow32(WithDollar(att_text));
  if (!word) return std::nullopt;
  for (size_t k = 0; k < 4; ++k) {
    *word = checks[k] ? (*word | kAttributeBoxBits[k]) : (*word & ~kAttributeBoxBits[k]);
  }
  return "$" + H8(*word);
}

EditOkResult EditOkButtonClick(RomImage& image, RomLists& lists, EditState& state,
                               const std::string& att_text, const std::string& real_text,
                               int64_t selected_index) {
  EditOkResult r;
  const auto real = ParseFieldNumber(real_text, 32);
  if (!real) {
    r.keep_box_open = true;
    r.outcome = Nothing("RealSize is not a number: " + real_text);
    r.outcome.beep = true;
    r.outcome.status = ActionStatus::kRefused;
    return r;
  }
  r.outcome.status1 = "";
  const auto word = ParseFieldWordLow32(WithDollar(att_text));
  if (!word) {
    r.outcome.beep = true;
    r.outcome.status = ActionStatus::kRefused;
    r.outcome.reason = "Atts is not a hexadecimal number: " + att_text;
    return r;
  }
  if (state.EditPending) {
    const auto entry = state.EditEntryIndex >= 0
                           ? FileEntry(image, static_cast<uint32_t>(state.EditEntryIndex))
                           : std::nullopt;
    if (!entry) {
      state.EditPending = false;
      r.outcome.status = ActionStatus::kRefused;
      r.outcome.beep = true;
      r.outcome.status2 = "Eintrag " + std::to_string(state.EditEntryIndex) +
                          " gibt es nicht mehr; nichts geschrieben";
      r.outcome.reason = *r.outcome.status2;
      return r;
    }
    entry->Set(filesentry::dwFileAttributes, *word);
    entry->Set(filesentry::nRealFileSize, static_cast<uint32_t>(*real));
    r.outcome.beep = true;
  }
  state.EditPending = false;
  r.outcome.status = ActionStatus::kDone;
  r.outcome.select_index = ReanalyseKeepingSelection(image, lists, selected_index);
  r.outcome.lists_rebuilt = true;
  return r;
}

ActionOutcome SaveImage(const RomImage& image, const std::string& path) {
  const std::string error = WriteWholeFile(
      path, image.Data(), image.HasData() ? static_cast<size_t>(image.ImageLength) : 0);
  if (!error.empty()) return FileError(error);
  ActionOutcome o;
  o.status = ActionStatus::kDone;
  return o;
}

}  // namespace rom
