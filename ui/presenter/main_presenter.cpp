// The main window's behaviour: loading, the two lists, and every editing action.
#include "ui/presenter/main_presenter.h"

#include <algorithm>

#include "fileio/creation_time.h"
#include "fileio/file_io.h"
#include "rom/add_replace.h"
#include "rom/cp1252.h"
#include "rom/edit_steps.h"
#include "rom/entry_edit.h"
#include "rom/image_open.h"
#include "rom/image_save.h"
#include "rom/listing/row_actions.h"
#include "rom/rom_header.h"
#include "rom/rom_layout.h"
#include "rom/stored_form.h"
#include "rom/text_format.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "unknown"
#endif

namespace presenter {

namespace {

constexpr const char* kNoWay = "Das geht nicht";
constexpr const char* kProgram = "Tarnwick";
constexpr const char* kPickFile = "Datei zum Einfügen aussuchen";

}  // namespace

MainPresenter::MainPresenter(Prompts& prompts, rom::Decompressor decompress,
                             std::string open_folder, rom::StreamCodec codec)
    : prompts_(prompts),
      decompress_(std::move(decompress)),
      open_folder_(std::move(open_folder)),
      codec_(std::move(codec)) {
  state_.status_subject = std::string("Tarnwick ") + TARNWICK_VERSION;  // until the first load
  UpdateControls();
}

void MainPresenter::ChooseFlash(rom::FlashChoice flash) {
  if (!state_.flash_enabled) return;
  state_.flash = flash;
  UpdateControls();
}

void MainPresenter::ChoosePreset(bool ff) {
  if (state_.flash_enabled) state_.preset_ff = ff;
}

void MainPresenter::SetRawExport(bool raw) { state_.raw_export = raw; }

void MainPresenter::ShowSorted(bool shown) {
  state_.sorted_shown = shown;
  // Switching the view takes back what a click on a map line enabled.
  map_row_clicked_ = false;
  state_.status_detail.clear();
  UpdateControls();
}

void MainPresenter::Load() {
  if (!MayDropImage()) return;
  const auto path = prompts_.OpenFile(
      {.filter = "linked WinCE Images (*.nb0 *.bin);;all Files (*.*)", .folder = open_folder_});
  if (path) LoadPath(*path);
}

bool MainPresenter::LoadPath(const std::string& path) {
  state_.flash_enabled = false;
  CloseEntryEdit();
  state_.delete_warning_visible = false;
  if (before_release_) before_release_();
  lists_ = {};
  const rom::Result<rom::LoadedImage> load = rom::OpenImage(image_, path, state_.flash, Fill());
  // Panel 1 shows the buffer's size once the load has decided it, even when it failed later.
  const std::optional<int32_t> buffer_size =
      load ? std::optional(load->buffer_size) : load.error().buffer_size;
  if (buffer_size) state_.status_subject = rom::FlashSizeText(*buffer_size);
  state_.status_detail.clear();
  if (load) {
    rom::AnalyseImage(image_, lists_);
    image_path_ = path;
    RememberRecent(path);
    if (image_.SignatureOffset() < 0) {
      state_.status_detail = rom::Error{.kind = rom::ErrorKind::kNoHeader}.Message();
    }
  }
  state_.log_selection = -1;
  map_row_clicked_ = false;
  // The old image is gone whether or not the new one came: nothing is left unsaved.
  SetModified(false);
  ListsChanged(-1);
  if (!load) prompts_.Message(load.error().Message(), kProgram, Severity::kError);
  return static_cast<bool>(load);
}

void MainPresenter::LoadDropped(const std::string& path) {
  if (!MayDropImage()) return;
  if (state_.flash == rom::FlashChoice::kNone) state_.flash = rom::FlashChoice::k32MB;
  LoadPath(path);
}

void MainPresenter::SetRecentFiles(std::vector<std::string> paths) {
  state_.recent_files.clear();
  for (std::string& path : paths) {
    if (path.empty() || std::ranges::find(state_.recent_files, path) != state_.recent_files.end()) {
      continue;
    }
    if (state_.recent_files.size() == kMaxRecentFiles) break;
    state_.recent_files.push_back(std::move(path));
  }
}

void MainPresenter::LoadRecent(size_t index) {
  if (index >= state_.recent_files.size() || !MayDropImage()) return;
  const std::string path = state_.recent_files[index];
  if (state_.flash == rom::FlashChoice::kNone) state_.flash = rom::FlashChoice::k32MB;
  if (!LoadPath(path)) std::erase(state_.recent_files, path);
}

void MainPresenter::ClearRecentFiles() { state_.recent_files.clear(); }

void MainPresenter::RememberRecent(const std::string& path) {
  std::erase(state_.recent_files, path);
  state_.recent_files.insert(state_.recent_files.begin(), path);
  if (state_.recent_files.size() > kMaxRecentFiles) state_.recent_files.resize(kMaxRecentFiles);
}

void MainPresenter::Reload() {
  if (image_path_.empty() || !MayDropImage()) return;
  LoadPath(image_path_);
}

bool MainPresenter::MayDropImage() {
  if (!state_.modified) return true;
  switch (prompts_.AskSaveChanges()) {
    case SaveChanges::kSave:
      return WriteImage();
    case SaveChanges::kDiscard:
      return true;
    case SaveChanges::kCancel:
      break;
  }
  return false;
}

void MainPresenter::SetModified(bool modified) {
  state_.modified = modified;
  state_.title =
      image_path_.empty() ? "Windows CE ROM Viewer" : (modified ? "*" : "") + image_path_;
}

namespace {

// What panel 2 shows for a log row: the line of a module or file entry, nothing for the others.
std::string LogRowText(const rom::LogRow* row) {
  return row && row->kind != rom::LogRowKind::kOther ? rom::Cp1252ToUtf8(row->text) : std::string();
}

}  // namespace

void MainPresenter::SelectLogLine(int64_t index) {
  const rom::LogRow* row = lists_.LogRowAt(index);
  if (!row) return;
  state_.log_selection = index;
  state_.status_detail = LogRowText(row);
  UpdateControls();
}

std::string MainPresenter::MapRowText(int64_t index) const {
  const rom::MapRow* row = lists_.MapRowAt(index);
  if (!row) return {};
  std::string text = rom::Cp1252ToUtf8(row->text);
  if (row->kind != rom::StretchKind::kFileData) return text;
  // The buttons that are off for this file say why here.
  auto why = rom::WhyNoReplacement(image_, lists_, index);
  if (!why) why = rom::WhyNoFileDeletion(image_, lists_, index);
  if (why) text += " — " + why->Message();
  return text;
}

std::string MainPresenter::SelectionText() const {
  if (state_.sorted_shown) return MapRowText(state_.map_selection);
  return LogRowText(lists_.LogRowAt(state_.log_selection));
}

void MainPresenter::SelectMapLine(int64_t index) {
  const rom::MapRow* row = lists_.MapRowAt(index);
  if (!row) return;
  state_.map_selection = index;
  map_row_clicked_ = true;
  state_.status_detail = MapRowText(index);
  UpdateControls();
}

void MainPresenter::UpdateControls() {
  const bool sorted = state_.sorted_shown;
  state_.load.enabled = state_.flash != rom::FlashChoice::kNone;
  state_.write.caption = sorted ? "Liste speichern" : "Log speichern";
  // An empty list would give an empty file.
  state_.write.enabled = sorted ? !lists_.MemoryMap.empty() : !lists_.AnalysisLog.empty();
  state_.hex.visible = sorted;
  state_.edit_group_visible = sorted;
  // The editing group lies over "CompressTool".
  state_.compress_tool.visible = !sorted;
  state_.save_file.enabled = sorted ? rom::EntryOfMapRow(lists_, state_.map_selection).has_value()
                                    : rom::EntryOfLogRow(lists_, state_.log_selection).has_value();

  const rom::MapRow* row = lists_.MapRowAt(state_.map_selection);
  const std::optional<rom::StretchKind> kind =
      sorted && map_row_clicked_ && row ? std::optional(row->kind) : std::nullopt;
  const bool file = kind == rom::StretchKind::kFileData;
  state_.replace.enabled =
      file && !rom::WhyNoReplacement(image_, lists_, state_.map_selection).has_value();
  state_.del.caption = kind == rom::StretchKind::kFixedBlock ? "Block löschen" : "Datei löschen";
  // A file with a fixed block or a module anywhere behind it cannot be deleted.
  state_.del.enabled =
      kind == rom::StretchKind::kFixedBlock ||
      (file && !rom::WhyNoFileDeletion(image_, lists_, state_.map_selection).has_value());
}

namespace {

// ASCII letters in lower case; other bytes (UTF-8 sequences) as they are.
std::string Folded(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The indexes of `rows` whose text (Windows-1252) contains `folded` (UTF-8, folded).
template <typename Row>
std::vector<int64_t> RowsContaining(const std::vector<Row>& rows, const std::string& folded) {
  std::vector<int64_t> shown;
  shown.reserve(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const bool contains =
        folded.empty() || Folded(rom::Cp1252ToUtf8(rows[i].text)).find(folded) != std::string::npos;
    if (contains) shown.push_back(static_cast<int64_t>(i));
  }
  return shown;
}

}  // namespace

void MainPresenter::SetFilter(const std::string& text) {
  if (text == state_.filter) return;
  state_.filter = text;
  ApplyFilter();
  ++state_.lists_revision;
}

void MainPresenter::ApplyFilter() {
  const std::string folded = Folded(state_.filter);
  state_.log_shown = RowsContaining(lists_.AnalysisLog, folded);
  state_.map_shown = RowsContaining(lists_.MemoryMap, folded);
}

void MainPresenter::ListsChanged(int64_t map_selection) {
  ++state_.lists_revision;
  ApplyFilter();
  state_.map_selection = lists_.MapRowAt(map_selection) ? map_selection : -1;
  if (state_.map_selection < 0) map_row_clicked_ = false;
  // The log's rows move with every change of the image: a kept row number would name another
  // entry (and export it).
  state_.log_selection = -1;
  // The attribute box edits an entry by its index: it closes when the tables change.
  if (state_.edit_box.visible) CloseEntryEdit();
  UpdateControls();
}

void MainPresenter::Refused(const std::string& text, const std::string& caption) {
  prompts_.Beep();
  prompts_.Message(text, caption, Severity::kWarning);
}

std::optional<std::vector<uint8_t>> MainPresenter::ReadPicked(const std::string& path) {
  const uint64_t limit = image_.HasData() ? static_cast<uint64_t>(image_.BufferSize()) : 0;
  fileio::ReadResult r = fileio::ReadWholeFile(path, limit);
  if (r.error) {
    prompts_.Message(r.error->Message(), kProgram, Severity::kError);
    return std::nullopt;
  }
  return std::move(r.bytes);
}

void MainPresenter::SaveList() {
  if (!state_.write.enabled) return;
  const bool sorted = state_.sorted_shown;
  const auto path =
      prompts_.SaveFile({.title = sorted ? "Sortierte Dateiliste speichern" : "Log speichern",
                         .confirm_overwrite = true});
  if (!path) return;
  std::string text;
  auto append = [&text](const std::string& line) {
    text += line;
    text += "\r\n";
  };
  if (sorted) {
    for (const rom::MapRow& row : lists_.MemoryMap) append(row.text);
  } else {
    for (const rom::LogRow& row : lists_.AnalysisLog) append(row.text);
  }
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (auto e = fileio::WriteFileAtomically(*path, bytes)) {
    prompts_.Message(e->Message(), kProgram, Severity::kError);
  }
}

void MainPresenter::ExportSelected() {
  const bool sorted = state_.sorted_shown;
  const auto entry = sorted ? rom::EntryOfMapRow(lists_, state_.map_selection)
                            : rom::EntryOfLogRow(lists_, state_.log_selection);
  if (!entry) return;
  const std::string name = rom::EntryName(image_, *entry);
  const std::string shown = rom::Cp1252ToUtf8(name);
  if (sorted) state_.status_subject = "save " + shown;
  const auto path = prompts_.SaveFile({.title = "save Item \"" + shown + "\" to File",
                                       .file_name = shown,
                                       .confirm_overwrite = true});
  state_.status_subject.clear();
  if (!path) return;
  const auto exported = rom::ExportEntry(image_, *entry, state_.raw_export, decompress_);
  if (!exported) {
    state_.status_detail = exported.error().Message();
    prompts_.Beep();
    return;
  }
  if (auto e = fileio::WriteFileAtomically(*path, exported->bytes)) {
    prompts_.Message(e->Message(), kProgram, Severity::kError);
    return;
  }
  if (entry->kind == rom::EntryRef::Kind::kModule) {
    state_.status_detail = "Module " + shown + " rebuilt & written";
  } else if (exported->decompressed) {
    state_.status_detail = "File " + shown + " decompressed & written";
  } else {
    // A copy of the stored bytes has no message of its own; an earlier export's would claim a
    // decompression that did not happen.
    state_.status_detail = SelectionText();
  }
}

void MainPresenter::DeleteSelected() {
  const rom::MapRow* row = lists_.MapRowAt(state_.map_selection);
  if (!state_.del.enabled || !row) return;
  if (row->kind == rom::StretchKind::kFixedBlock) {
    state_.delete_warning_visible = true;
    return;
  }
  DeleteSelectedStretch();
}

void MainPresenter::DeleteSelectedStretch() {
  const auto removal = rom::DeleteStretch(image_, lists_, state_.map_selection, Fill());
  if (!removal) return Refused(removal.error().Message(), kNoWay);
  rom::AnalyseImage(image_, lists_);
  SetModified(true);
  ListsChanged(-1);
  state_.status_detail = rom::Describe(removal.value());
}

void MainPresenter::ConfirmBlockDeletion() {
  state_.delete_warning_visible = false;
  const rom::MapRow* row = lists_.MapRowAt(state_.map_selection);
  if (!row || row->kind != rom::StretchKind::kFixedBlock) return;
  DeleteSelectedStretch();
}

void MainPresenter::CancelBlockDeletion() { state_.delete_warning_visible = false; }

void MainPresenter::AddFile() {
  if (!image_.HasData()) {
    prompts_.Message("Es ist kein Image geladen.", "Datei hinzu", Severity::kWarning);
    return;
  }
  const auto path = prompts_.OpenFile({.title = kPickFile});
  if (!path) return;
  state_.status_detail.clear();  // the result of an earlier action no longer applies
  if (const auto warning = rom::CheckTableEnd(image_)) {
    prompts_.Beep();
    state_.status_detail = rom::Describe(*warning);
  }
  const auto name = rom::EntryNameFromPath(*path);
  if (!name) return Refused(name.error().Message(), kNoWay);
  const auto bytes = ReadPicked(*path);
  if (!bytes) return;
  const auto added =
      rom::AddFile(image_, name.value(), *bytes, fileio::FileCreationTime(*path).value_or(0));
  if (!added) return Refused(added.error().Message(), kNoWay);
  rom::AnalyseImage(image_, lists_);
  SetModified(true);
  ListsChanged(-1);
}

void MainPresenter::ReplaceSelected() {
  if (!state_.replace.enabled) return;
  const auto plan = rom::PlanReplace(lists_, state_.map_selection);
  if (!plan) return;
  const auto path = prompts_.OpenFile({.title = kPickFile});
  if (!path) return;
  const auto bytes = ReadPicked(*path);
  if (!bytes) return;
  bool gap_left = false;
  std::string done;
  if (state_.raw_export) {
    // "roh": the bytes as they are, the sizes their length; the entry is the user's to correct.
    const auto replaced = rom::ReplaceFile(image_, *plan, *bytes, Fill());
    if (!replaced) return Refused(replaced.error().Message(), kNoWay);
    gap_left = replaced->gap_left;
    done = "ACHTUNG! Real-FileSize ggf. korrigieren!";
  } else {
    const auto replaced = rom::ReplaceFileStored(image_, *plan, *bytes, Fill(), codec_);
    if (!replaced) return Refused(replaced.error().Message(), kNoWay);
    gap_left = replaced->placed.gap_left;
    done = rom::Describe(replaced.value());
  }
  rom::AnalyseImage(image_, lists_);
  SetModified(true);
  ListsChanged(state_.map_selection);
  if (gap_left) {
    prompts_.Beep();
    prompts_.Message(
        "Es liegt ein fixer Block dahinter und die Datei ist kleiner, also bleibt ein Rest übrig.",
        "Das gibt eine Lücke", Severity::kInformation);
  }
  state_.status_detail = done;
}

void MainPresenter::OpenEntryEdit() {
  edit_target_.reset();
  const auto entry = rom::EntryOfMapRow(lists_, state_.map_selection);
  if (!entry) return;
  const auto e = rom::FileEntry(image_, entry->index);
  if (!e) return;
  edit_target_ = entry->index;
  state_.status_subject = "edit " + rom::Cp1252ToUtf8(rom::EntryName(image_, *entry));
  const uint32_t attributes = e->Get(rom::filesentry::dwFileAttributes);
  EditBoxState& box = state_.edit_box;
  box.real_enabled = true;
  box.att_text = "$" + rom::H8(attributes);
  for (size_t k = 0; k < 4; ++k) box.checks[k] = (attributes & rom::kNamedAttributes[k]) != 0;
  box.real_text = std::to_string(e->Get(rom::filesentry::nRealFileSize));
  box.visible = true;
  ++box.revision;
}

void MainPresenter::ToggleAttribute(const std::string& att_text,
                                    const std::array<bool, 4>& checks) {
  auto word = rom::ReadAttributeWord(att_text);
  if (!word) {
    // The field keeps the person's text; the message says what it cannot hold.
    prompts_.Beep();
    state_.status_detail = word.error().Message();
    return;
  }
  for (size_t k = 0; k < 4; ++k) {
    *word = checks[k] ? (*word | rom::kNamedAttributes[k]) : (*word & ~rom::kNamedAttributes[k]);
  }
  EditBoxState& box = state_.edit_box;
  box.att_text = "$" + rom::H8(*word);
  box.checks = checks;
  ++box.revision;
}

void MainPresenter::ConfirmEntryEdit(const std::string& att_text, const std::string& real_text) {
  const auto values = rom::ReadEntryValues(att_text, real_text);
  if (!values) {
    // The box stays open with the person's texts, and nothing changes.
    prompts_.Beep();
    state_.status_detail = values.error().Message();
    return;
  }
  state_.edit_box.visible = false;
  state_.status_subject.clear();
  bool refused = false;
  if (edit_target_) {
    const auto set = rom::SetEntry(image_, *edit_target_, values->attributes, values->real_size);
    prompts_.Beep();  // the beep confirms the change, or marks the refusal
    refused = !set;
    if (refused) state_.status_detail = set.error().Message();
    if (set) SetModified(true);
  }
  edit_target_.reset();
  rom::AnalyseImage(image_, lists_);
  ListsChanged(state_.map_selection);
  // The selected line now reads as the entry was left; a refusal's message stays instead.
  const rom::MapRow* row = lists_.MapRowAt(state_.map_selection);
  if (row && !refused) state_.status_detail = rom::Cp1252ToUtf8(row->text);
}

void MainPresenter::CloseEntryEdit() {
  state_.edit_box.visible = false;
  state_.status_subject.clear();
  edit_target_.reset();
}

void MainPresenter::SaveImage() { WriteImage(); }

bool MainPresenter::WriteImage() {
  if (!image_.HasData()) {
    prompts_.Message("Es ist kein Image geladen.", "Image speichern", Severity::kWarning);
    return false;
  }
  rom::RefreshSecondPointer(image_);
  const auto path =
      prompts_.SaveFile({.title = "Image speichern",
                         .filter = "ROM Images (*.nb0);;B000FF records (*.bin);;Other (*.*)",
                         .default_suffix = "nb0",
                         .confirm_overwrite = true,
                         .confirm_create = true});
  if (!path) return false;
  const auto saved = rom::SaveImage(image_, *path);
  if (!saved) {
    prompts_.Message(saved.error().Message(), kProgram, Severity::kError);
    return false;
  }
  // The title names the file the image now is; panel 2 says where it went.
  image_path_ = *path;
  RememberRecent(*path);
  SetModified(false);
  state_.status_detail = "Image gespeichert: " + *path;
  return true;
}

std::optional<HexRequest> MainPresenter::HexRange() {
  if (lists_.MemoryMap.empty() || !image_.HasData()) return std::nullopt;
  if (!lists_.MapRowAt(state_.map_selection)) {
    state_.map_selection = 0;
    UpdateControls();
  }
  const rom::MapRow& row = lists_.MemoryMap[static_cast<size_t>(state_.map_selection)];
  return HexRequest{static_cast<int32_t>(row.first), static_cast<int32_t>(row.last),
                    image_.RomBase()};
}

}  // namespace presenter
