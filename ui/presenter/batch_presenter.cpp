// The batch window's behaviour: listings, marks and the run.
#include "ui/presenter/batch_presenter.h"

#include <algorithm>

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
  hooks.ask_overwrite = [this](const std::string& path) { return prompts_.AskOverwrite(path); };
  hooks.result = [this](const BatchRow& row) {
    state_.target_rows.push_back(row);
    prompts_.TargetRowAdded(row);
  };
  last_run_ = RunBatch(names, state_.source_folder, state_.target_folder, op, library_,
                       overwrite_without_asking, hooks);
  // The listing is not read anew: the result rows take their places among its rows.
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
