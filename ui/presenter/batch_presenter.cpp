// The batch window's behaviour: listings, marks and the run.
#include "ui/presenter/batch_presenter.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace presenter {

BatchPresenter::BatchPresenter(BatchPrompts& prompts, const codec::CompressionLibrary& library)
    : prompts_(prompts), library_(library) {}

void BatchPresenter::ChooseSourceFolder(const std::string& folder) {
  state_.source_folder = folder;
  state_.source_rows = ListFolder(folder, true);
}

void BatchPresenter::ChooseTargetFolder(const std::string& folder) {
  state_.target_folder = folder;
  state_.target_rows = ListFolder(folder, false);
}

namespace {

namespace fs = std::filesystem;

// The rows of `folder` anew, with the marks of `old` kept for files still listed.
std::vector<BatchRow> Relisted(const std::string& folder, bool with_folders,
                               const std::vector<BatchRow>& old) {
  std::set<std::string> marked;
  for (const BatchRow& row : old) {
    if (row.marked) marked.insert(row.name);
  }
  std::vector<BatchRow> rows = ListFolder(folder, with_folders);
  for (BatchRow& row : rows) {
    if (row.kind == BatchRowKind::kFile && marked.contains(row.name)) ToggleMark(row);
  }
  return rows;
}

bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

bool BatchPresenter::ListTyped(const std::string& text, bool source) {
  const std::string& listed = source ? state_.source_folder : state_.target_folder;
  if (text == listed) return true;
  std::error_code ec;
  if (text.empty() || !fs::is_directory(text, ec)) {
    prompts_.Message("Kein Verzeichnis: " + text, Severity::kWarning);
    return false;
  }
  if (source) {
    ChooseSourceFolder(text);
  } else {
    ChooseTargetFolder(text);
  }
  return true;
}

bool BatchPresenter::TypeSourceFolder(const std::string& text) { return ListTyped(text, true); }

bool BatchPresenter::TypeTargetFolder(const std::string& text) { return ListTyped(text, false); }

void BatchPresenter::Refresh() {
  if (!state_.source_folder.empty()) {
    state_.source_rows = Relisted(state_.source_folder, true, state_.source_rows);
  }
  if (!state_.target_folder.empty()) state_.target_rows = ListFolder(state_.target_folder, false);
}

bool BatchPresenter::OpenFolderRow(int64_t index) {
  if (index < 0 || static_cast<uint64_t>(index) >= state_.source_rows.size()) return false;
  const BatchRow& row = state_.source_rows[static_cast<size_t>(index)];
  if (row.kind != BatchRowKind::kFolder) return false;
  if (row.name == ".") {
    Refresh();
    return true;
  }
  std::error_code ec;
  const fs::path folder = fs::weakly_canonical(fs::path(state_.source_folder) / row.name, ec);
  if (ec) return false;
  ChooseSourceFolder(folder.string());
  return true;
}

bool BatchPresenter::ToggleMark(int64_t index) {
  if (index < 0 || static_cast<uint64_t>(index) >= state_.source_rows.size()) return false;
  return presenter::ToggleMark(state_.source_rows[static_cast<size_t>(index)]);
}

bool BatchPresenter::BeginRun() {
  if (state_.running) return false;
  const bool any_marked = std::any_of(state_.source_rows.begin(), state_.source_rows.end(),
                                      [](const BatchRow& row) { return row.marked; });
  if (any_marked && state_.target_folder.empty()) {
    prompts_.Message("Es fehlt ein Zielverzeichnis.", Severity::kWarning);
    return false;
  }
  if (any_marked && SameFolder(state_.source_folder, state_.target_folder)) {
    prompts_.Message(
        "Quell- und Zielverzeichnis sind dasselbe: die Ergebnisse würden die Originale "
        "ersetzen.",
        Severity::kWarning);
    return false;
  }
  state_.running = true;
  return true;
}

void BatchPresenter::Run(codec::Operation op, bool overwrite_without_asking) {
  std::vector<std::string> names;
  for (const BatchRow& row : state_.source_rows) {
    if (row.marked) names.push_back(row.name);
  }
  BatchHooks hooks;
  hooks.progress = [this](int n, int m, const std::string& name) {
    return prompts_.Step(n, m, name);
  };
  hooks.page_progress = [this](uint32_t done, uint32_t pages) {
    return prompts_.PageStep(done, pages);
  };
  hooks.ask_overwrite = [this](const std::string& path) { return prompts_.AskOverwrite(path); };
  failed_.clear();
  hooks.result = [this](const BatchRow& row) {
    state_.target_rows.push_back(row);
    if (row.kind == BatchRowKind::kFailed) failed_.push_back(row);
    prompts_.TargetRowAdded(row);
  };
  last_run_ = RunBatch(names, state_.source_folder, state_.target_folder, op, library_,
                       overwrite_without_asking, hooks);
  // Both lists as they are on disk now: each file written once, with its size; the files the
  // library refused stay in the target list with their "Fehler!".
  Refresh();
  if (state_.target_folder.empty()) return;
  state_.target_rows.insert(state_.target_rows.end(), failed_.begin(), failed_.end());
  SortRows(state_.target_rows);
}

void BatchPresenter::EndRun() {
  state_.running = false;
  if (!last_run_.error.empty()) {
    prompts_.Message(last_run_.error, Severity::kError);
    return;
  }
  state_.count_text = CountText(last_run_.count);
  if (last_run_.cancelled) {
    // The files before the one it was at were handled: written, kept or refused.
    state_.count_text += "\n  abgebrochen nach " + std::to_string(last_run_.reached - 1) + " von " +
                         std::to_string(last_run_.total);
  }
}

}  // namespace presenter
