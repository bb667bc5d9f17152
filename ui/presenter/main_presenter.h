// MainPresenter: everything the main window shows and decides, without Qt.
//
// It owns the loaded image and its two lists, and holds the window's state: which controls are
// shown and enabled and what they say, the status texts, the selection, the attribute box.
// Each method is something the person does (choose a flash size, load, click a line, delete
// ...); it calls the image operations of rom/, asks its questions through Prompts, and leaves
// the new state in state(). The Qt window only copies that state into its widgets.
#ifndef TARNWICK_UI_PRESENTER_MAIN_PRESENTER_H_
#define TARNWICK_UI_PRESENTER_MAIN_PRESENTER_H_

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "rom/decompressor.h"
#include "rom/listing/analysis.h"
#include "rom/rom_image.h"
#include "rom/stream_coding.h"
#include "ui/presenter/prompts.h"

namespace presenter {

struct ControlState {
  bool enabled = true;
  bool visible = true;
  std::string caption;
};

// The attribute box "Datei Attribute".
struct EditBoxState {
  bool visible = false;
  std::string att_text = "$00000000";  // AttEdit
  std::string real_text = "00000";     // RealEdit
  bool real_enabled = true;
  std::array<bool, 4> checks{};  // C, H, R, S
  // Grows whenever the presenter sets the texts or checks, so that the window copies them
  // into its fields then and leaves what the person types alone otherwise.
  uint64_t revision = 0;
};

struct MainState {
  std::string title = "Windows CE ROM Viewer";
  bool modified = false;      // the image has changes that are not saved
  bool flash_enabled = true;  // "Flash Size" and "Preset" groups
  rom::FlashChoice flash = rom::FlashChoice::kNone;
  bool preset_ff = false;
  bool raw_export = false;              // "Export roh": raw exports and raw replacements
  bool sorted_shown = false;            // "Zeige sortierte Liste"
  bool edit_group_visible = false;      // "Edit Datei"
  bool delete_warning_visible = false;  // "einen Block löschen"
  ControlState load{false, true, "Lade  *.NB0"};
  ControlState write{true, true, "Log speichern"};
  ControlState hex{true, false, "Add Hex View"};
  ControlState compress_tool{true, true, "CompressTool"};
  ControlState save_file{false, true, "Datei speichern"};
  ControlState del{false, true, "Datei löschen"};
  ControlState replace{false, true, "Datei ersetzen"};
  ControlState add{true, true, "Datei hinzu"};
  ControlState entry_edit{true, true, "Eintrag editieren"};
  ControlState image_save{true, true, "Image speichern"};
  EditBoxState edit_box;
  // Status panel 1: what an action is about ("save x", "edit x") or the buffer's size.
  std::string status_subject;
  // Status panel 2: the selected line, what an action did, or why it was refused.
  std::string status_detail;
  int64_t log_selection = -1;
  int64_t map_selection = -1;
  uint64_t lists_revision = 0;  // grows whenever the lists are rewritten
  // The filter box: the rows of each list that contain its text, in their order (every row
  // while it is empty). Selections stay indexes of the whole lists.
  std::string filter;
  std::vector<int64_t> log_shown;
  std::vector<int64_t> map_shown;
  // The images loaded or saved last, newest first (at most kMaxRecentFiles): the window keeps
  // them between runs.
  std::vector<std::string> recent_files;
};

inline constexpr size_t kMaxRecentFiles = 8;

// What a new hex window shows.
struct HexRequest {
  int32_t first = 0;
  int32_t last = 0;
  uint32_t base = 0;
};

class MainPresenter {
 public:
  // `decompress` reads compressed files and module sections; `codec` writes compressed files
  // back (without it a compressed entry can only be replaced raw).
  MainPresenter(Prompts& prompts, rom::Decompressor decompress, std::string open_folder,
                rom::StreamCodec codec = {});

  [[nodiscard]] const MainState& state() const { return state_; }
  [[nodiscard]] const rom::RomImage& image() const { return image_; }
  [[nodiscard]] const rom::RomLists& lists() const { return lists_; }
  // Called before a load releases the buffer that hex windows read.
  void SetBeforeBufferRelease(std::function<void()> hook) { before_release_ = std::move(hook); }

  // "Flash Size", "Preset", "Export roh", "Zeige sortierte Liste".
  void ChooseFlash(rom::FlashChoice flash);
  void ChoosePreset(bool ff);
  void SetRawExport(bool raw);
  void ShowSorted(bool shown);

  // "Lade  *.NB0": the open dialog, then LoadPath.
  void Load();
  // Loads `path` with the chosen flash size and preset (as after the open dialog). False when
  // the file could not be loaded (the person was told why).
  bool LoadPath(const std::string& path);
  // Loads `path` as a file dropped onto the window: after the question about unsaved changes,
  // with the flash size chosen, or 32 MB when none is chosen yet.
  void LoadDropped(const std::string& path);
  // Loads the file of the image anew from disk, after the question about unsaved changes.
  void Reload();
  // The list of recent images as kept from the last run (missing and repeated paths dropped
  // later, when they fail to load).
  void SetRecentFiles(std::vector<std::string> paths);
  // Loads recent image `index` as a dropped file is loaded. One that no longer loads leaves
  // the list.
  void LoadRecent(size_t index);
  void ClearRecentFiles();
  // Before the image is dropped (the window closes, another image is loaded): asks
  // "Änderungen speichern?" when there are unsaved changes and saves when told to. False when
  // the person cancels, or the save did not happen: the image must stay.
  [[nodiscard]] bool MayDropImage();

  // The text of the filter box: the lists show only the lines that contain it, whatever the
  // case of its letters.
  void SetFilter(const std::string& text);

  // A click on a line of the log or of the memory map (-1: none).
  void SelectLogLine(int64_t index);
  void SelectMapLine(int64_t index);

  void SaveList();              // "Log speichern" / "Liste speichern"
  void ExportSelected();        // "Datei speichern"
  void DeleteSelected();        // "Datei löschen" / "Block löschen"
  void ConfirmBlockDeletion();  // "Ja diesen Block löschen"
  void CancelBlockDeletion();   // "Nein ich will zurück"
  void AddFile();               // "Datei hinzu"
  void ReplaceSelected();       // "Datei ersetzen"
  void OpenEntryEdit();         // "Eintrag editieren"
  // A click on one of the attribute box's check boxes, with the field's text and the boxes.
  void ToggleAttribute(const std::string& att_text, const std::array<bool, 4>& checks);
  // "OK" and "Exit" of the attribute box, with the texts of its two fields.
  void ConfirmEntryEdit(const std::string& att_text, const std::string& real_text);
  void CloseEntryEdit();
  void SaveImage();  // "Image speichern"
  // "Add Hex View": the range of the selected map line (the first line when none is).
  [[nodiscard]] std::optional<HexRequest> HexRange();

 private:
  // What status panel 2 shows for the selected line of the list that is shown: the line, and
  // for a file line that cannot be replaced or deleted, why not.
  [[nodiscard]] std::string SelectionText() const;
  [[nodiscard]] std::string MapRowText(int64_t index) const;
  void ListsChanged(int64_t map_selection);
  // The rows that the filter lets through, anew.
  void ApplyFilter();
  // Deletes the file or block of the selected map row.
  void DeleteSelectedStretch();
  void UpdateControls();
  // `path` was loaded or saved: it heads the recent images.
  void RememberRecent(const std::string& path);
  // The image changed in memory, or was saved or loaded: the title says so.
  void SetModified(bool modified);
  // "Image speichern": true when the image was written.
  bool WriteImage();
  void Refused(const std::string& text, const std::string& caption);
  [[nodiscard]] uint8_t Fill() const { return state_.preset_ff ? 0xFF : 0x00; }
  [[nodiscard]] std::optional<std::vector<uint8_t>> ReadPicked(const std::string& path);

  Prompts& prompts_;
  rom::Decompressor decompress_;
  std::string open_folder_;
  rom::StreamCodec codec_;
  std::function<void()> before_release_;
  rom::RomImage image_;
  rom::RomLists lists_;
  MainState state_;
  // A map row was clicked since the last switch of the view or load: only then do "Datei
  // löschen" and "Datei ersetzen" act on the selected row.
  bool map_row_clicked_ = false;
  // The file entry that "OK" of the attribute box writes; nullopt: "OK" writes nothing (the box
  // was opened on no file entry, or "Eintrag editieren" was pressed since on no file row).
  std::optional<uint32_t> edit_target_;
  // The file the image was loaded from or last saved to; empty before the first load.
  std::string image_path_;
};

}  // namespace presenter

#endif  // TARNWICK_UI_PRESENTER_MAIN_PRESENTER_H_
