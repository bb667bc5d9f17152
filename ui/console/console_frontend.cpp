// Option parsing and the operation loop of the console front end.
#include "ui/console/console_frontend.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <optional>

#include "fileio/creation_time.h"
#include "fileio/file_io.h"
#include "fileio/native_path.h"
#include "rom/add_replace.h"
#include "rom/cp1252.h"
#include "rom/entry_edit.h"
#include "rom/export_all.h"
#include "rom/image_open.h"
#include "rom/image_save.h"
#include "rom/listing/analysis.h"
#include "rom/listing/row_actions.h"
#include "rom/rom_image.h"
#include "rom/stored_form.h"
#include "rom/text_format.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "unknown"
#endif

namespace console {

namespace {

constexpr const char* kUsage =
    "usage: Tarnwick --image PATH [--flash 32|64] [--preset 0|FF] OPERATION...\n"
    "       Tarnwick --version\n"
    "operations, carried out in the order given:\n"
    "  --log                   write the analysis log to standard output\n"
    "  --map                   write the memory map to standard output\n"
    "  --export START OUT      \"Datei speichern\" of the file line at START (decompressed)\n"
    "  --export-raw START OUT  the same with \"Export roh\" ticked (bytes as stored)\n"
    "  --delete START          delete the file or fixed block at START\n"
    "  --add FILE              add FILE in front of the ROM header\n"
    "  --replace START FILE    replace the file at START by FILE in the form the image stores\n"
    "                          it: compressed in the coding of its stream where the entry has\n"
    "                          the C bit (a FILE that already is such a stream goes in as it is)\n"
    "  --replace-raw START FILE\n"
    "                          replace it by FILE's bytes as they are (\"roh\" ticked)\n"
    "  --edit START ATTRS REALSIZE\n"
    "                          set the attribute word and real size of the file at START\n"
    "  --save OUT              write the image to OUT: a name ending in .bin as B000FF records,\n"
    "                          any other as the flat image (its first ImageLength bytes,\n"
    "                          behind the header of another tool it was loaded from)\n"
    "  --save-unwrapped OUT    the same without that other tool's header in front\n"
    "  --export-module NAME OUT\n"
    "                          rebuild the module NAME as a PE file in OUT\n"
    "  --export-all DIR        write every file (decompressed where compressed) and every\n"
    "                          module (rebuilt) into DIR, one line per item\n"
    "START is the 8-digit hexadecimal start offset of a memory-map line; START:NAME takes\n"
    "the line of that start whose entry is named NAME.\n";

enum class OpKind {
  kLog,
  kMap,
  kExport,
  kExportRaw,
  kDelete,
  kAdd,
  kReplace,
  kReplaceRaw,
  kEdit,
  kSave,
  kSaveUnwrapped,
  kExportModule,
  kExportAll
};

// A memory-map line chosen on the command line: its start, and the entry's name when given.
struct LinePick {
  uint32_t start = 0;
  std::optional<std::string> name;  // Windows-1252, as the image stores names
};

struct Operation {
  OpKind kind;
  LinePick pick;
  std::vector<std::string> values;  // paths and texts, in command-line order
};

struct OpSyntax {
  const char* name;
  OpKind kind;
  bool has_start;
  size_t values;
};
constexpr OpSyntax kOps[] = {
    {"--log", OpKind::kLog, false, 0},
    {"--map", OpKind::kMap, false, 0},
    {"--export", OpKind::kExport, true, 1},
    {"--export-raw", OpKind::kExportRaw, true, 1},
    {"--delete", OpKind::kDelete, true, 0},
    {"--add", OpKind::kAdd, false, 1},
    {"--replace", OpKind::kReplace, true, 1},
    {"--replace-raw", OpKind::kReplaceRaw, true, 1},
    {"--edit", OpKind::kEdit, true, 2},
    {"--save", OpKind::kSave, false, 1},
    {"--save-unwrapped", OpKind::kSaveUnwrapped, false, 1},
    {"--export-module", OpKind::kExportModule, false, 2},
    {"--export-all", OpKind::kExportAll, false, 1},
};

struct Options {
  std::string image;
  rom::FlashChoice flash = rom::FlashChoice::k32MB;
  uint8_t preset = 0x00;
  std::vector<Operation> operations;
};

// START or START:NAME.
std::optional<LinePick> ParsePick(const std::string& text) {
  const std::string start = text.substr(0, text.find(':'));
  const auto v = rom::ParseHex32(start);
  if (start.size() != 8 || !v) return std::nullopt;
  LinePick pick{*v, std::nullopt};
  if (text.size() > 8) {
    const std::string name = text.substr(9);
    pick.name = rom::Utf8ToCp1252(fileio::NativeToUtf8(name)).value_or(name);
  }
  return pick;
}

// Parses the arguments; nullopt (with the reason in `why`) for wrong options.
std::optional<Options> Parse(const std::vector<std::string>& args, std::string& why) {
  Options o;
  bool have_image = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* what) -> const std::string* {
      if (i + 1 >= args.size()) {
        why = a + " needs " + what;
        return nullptr;
      }
      return &args[++i];
    };
    if (a == "--image") {
      const std::string* v = value("a path");
      if (!v) return std::nullopt;
      o.image = *v;
      have_image = true;
    } else if (a == "--flash") {
      const std::string* v = value("32 or 64");
      if (!v) return std::nullopt;
      if (*v == "32") {
        o.flash = rom::FlashChoice::k32MB;
      } else if (*v == "64") {
        o.flash = rom::FlashChoice::k64MB;
      } else {
        why = "--flash takes 32 or 64, not " + *v;
        return std::nullopt;
      }
    } else if (a == "--preset") {
      const std::string* v = value("0 or FF");
      if (!v) return std::nullopt;
      if (*v == "0") {
        o.preset = 0x00;
      } else if (*v == "FF" || *v == "ff") {
        o.preset = 0xFF;
      } else {
        why = "--preset takes 0 or FF, not " + *v;
        return std::nullopt;
      }
    } else {
      const OpSyntax* syntax = nullptr;
      for (const OpSyntax& op : kOps) {
        if (a == op.name) syntax = &op;
      }
      if (!syntax) {
        why = "unknown option " + a;
        return std::nullopt;
      }
      const size_t needed = (syntax->has_start ? 1 : 0) + syntax->values;
      if (args.size() - i - 1 < needed) {
        why = a + " needs " + std::to_string(needed) + " value(s)";
        return std::nullopt;
      }
      Operation op{syntax->kind, {}, {}};
      if (syntax->has_start) {
        const std::string& start = args[++i];
        const auto pick = ParsePick(start);
        if (!pick) {
          why = a + ": START must be 8 hexadecimal digits (and :NAME), not " + start;
          return std::nullopt;
        }
        op.pick = *pick;
      }
      for (size_t k = 0; k < syntax->values; ++k) op.values.push_back(args[++i]);
      o.operations.push_back(std::move(op));
    }
  }
  if (!have_image) {
    why = "--image PATH is required";
    return std::nullopt;
  }
  return o;
}

// The rows' texts, each followed by CR LF, as the window saves a list.
template <typename Row>
void WriteLines(const std::vector<Row>& rows, std::ostream& out) {
  for (const Row& row : rows) {
    out.write(row.text.data(), static_cast<std::streamsize>(row.text.size()));
    out.write("\r\n", 2);
  }
}

// A progress bar on standard error for work that takes longer than a second, shown only where
// standard error is a terminal.
class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& err)
      : err_(err), start_(std::chrono::steady_clock::now()), terminal_(IsTerminal()) {}

  void Show(uint64_t done, uint64_t total) {
    if (!terminal_ || total == 0) return;
    if (std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
    constexpr uint64_t kWidth = 40;
    const uint64_t filled = done * kWidth / total;
    err_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] " << done
         << "/" << total << std::flush;
    shown_ = true;
  }
  // Removes the bar, so that a line can be written.
  void Clear() {
    if (!shown_) return;
    err_ << "\r" << std::string(60, ' ') << "\r" << std::flush;
    shown_ = false;
  }

 private:
  static bool IsTerminal() {
#if defined(_WIN32)
    return _isatty(2) != 0;
#else
    return isatty(2) != 0;
#endif
  }

  std::ostream& err_;
  std::chrono::steady_clock::time_point start_;
  bool terminal_;
  bool shown_ = false;
};

// Carries out operations on one loaded image through the core's operations.
class Session {
 public:
  Session(rom::RomImage& image, rom::RomLists& lists, uint8_t preset,
          const rom::Decompressor& decompress, const rom::StreamCodec& codec, std::ostream& err)
      : image_(image),
        lists_(lists),
        preset_(preset),
        decompress_(decompress),
        codec_(codec),
        err_(err) {}

  // Runs one operation; false when it failed or was refused (the reason is on `err`).
  bool Apply(const Operation& op, std::ostream& out) {
    switch (op.kind) {
      case OpKind::kLog:
        WriteLines(lists_.AnalysisLog, out);
        return true;
      case OpKind::kMap:
        WriteLines(lists_.MemoryMap, out);
        return true;
      case OpKind::kExport:
      case OpKind::kExportRaw:
        return Export(op, op.kind == OpKind::kExportRaw);
      case OpKind::kDelete:
        return Delete(op);
      case OpKind::kAdd:
        return Add(op);
      case OpKind::kReplace:
      case OpKind::kReplaceRaw:
        return Replace(op, op.kind == OpKind::kReplaceRaw);
      case OpKind::kEdit:
        return Edit(op);
      case OpKind::kSave:
        return Save(op.values[0], rom::WrapperChoice::kKeep);
      case OpKind::kSaveUnwrapped:
        return Save(op.values[0], rom::WrapperChoice::kDrop);
      case OpKind::kExportModule:
        return ExportModule(op);
      case OpKind::kExportAll:
        return ExportAll(op, out);
    }
    return false;
  }

 private:
  // Index of the first memory-map row that starts where `pick` says, is of a kind `fits`
  // accepts and, when a name is given, belongs to the entry of that name; -1 when none does.
  template <typename Fits>
  int64_t FindLine(const LinePick& pick, Fits fits) const {
    for (size_t i = 0; i < lists_.MemoryMap.size(); ++i) {
      const rom::MapRow& row = lists_.MemoryMap[i];
      if (row.first != pick.start || !fits(row.kind)) continue;
      if (pick.name) {
        const auto entry = rom::EntryOfMapRow(lists_, static_cast<int64_t>(i));
        if (!entry || rom::EntryName(image_, *entry) != *pick.name) continue;
      }
      return static_cast<int64_t>(i);
    }
    return -1;
  }

  int64_t FindFileLine(const LinePick& pick) const {
    return FindLine(pick, [](rom::StretchKind k) { return k == rom::StretchKind::kFileData; });
  }

  // The operation cannot be carried out as asked (no such line or module, a value that is no
  // number): the console's own words, and the run stops.
  bool RejectRequest(const std::string& reason) {
    err_ << "Tarnwick: " << reason << "\n";
    return false;
  }

  bool NoLine(const LinePick& pick, const char* kind) {
    std::string where = rom::H8(pick.start);
    if (pick.name) where += " for " + rom::Cp1252ToUtf8(*pick.name);
    return RejectRequest("no " + std::string(kind) + " line starts at " + where);
  }

  // Says what the window would show in its status bar or a message box.
  void ShowStatus(const std::string& text) { err_ << text << "\n"; }

  // An operation refused or a file failed: the window's message, and the run stops.
  bool StopWith(const std::string& text) {
    ShowStatus(text);
    return false;
  }

  // Refreshes the lists after a change of the image.
  void Reanalyse() { rom::AnalyseImage(image_, lists_); }

  std::optional<std::vector<uint8_t>> ReadInput(const std::string& path) {
    fileio::ReadResult r = fileio::ReadWholeFile(path, static_cast<uint64_t>(image_.BufferSize()));
    if (r.error) {
      StopWith(r.error->Message());
      return std::nullopt;
    }
    return std::move(r.bytes);
  }

  bool Save(const std::string& path, rom::WrapperChoice wrapper) {
    const auto saved = rom::SaveImage(image_, path, wrapper);
    if (!saved) return StopWith(saved.error().Message());
    return true;
  }

  bool Export(const Operation& op, bool raw) {
    const int64_t index = FindFileLine(op.pick);
    if (index < 0) return NoLine(op.pick, "file");
    const auto entry = rom::EntryOfMapRow(lists_, index);
    const auto exported = rom::ExportEntry(image_, *entry, raw, decompress_);
    if (!exported) return StopWith(exported.error().Message());
    if (auto e = fileio::WriteFileAtomically(op.values[0], exported->bytes)) {
      return StopWith(e->Message());
    }
    if (exported->decompressed) {
      ShowStatus("File " + rom::Cp1252ToUtf8(rom::EntryName(image_, *entry)) +
                 " decompressed & written");
    }
    return true;
  }

  bool ExportModule(const Operation& op) {
    const std::string name =
        rom::Utf8ToCp1252(fileio::NativeToUtf8(op.values[0])).value_or(op.values[0]);
    std::optional<rom::EntryRef> module;
    for (uint32_t i = 0; i < image_.ModuleCount() && !module; ++i) {
      const rom::EntryRef ref{rom::EntryRef::Kind::kModule, i};
      if (rom::EntryName(image_, ref) == name) module = ref;
    }
    if (!module) return RejectRequest("no module is named " + op.values[0]);
    const auto exported = rom::ExportEntry(image_, *module, false, decompress_);
    if (!exported) return StopWith(exported.error().Message());
    for (const std::string& line : exported->details) ShowStatus(rom::Cp1252ToUtf8(line));
    if (auto e = fileio::WriteFileAtomically(op.values[1], exported->bytes)) {
      return StopWith(e->Message());
    }
    ShowStatus("Module " + op.values[0] + " rebuilt & written");
    return true;
  }

  bool ExportAll(const Operation& op, std::ostream& out) {
    ProgressBar progress(err_);
    const rom::ExportAllResult r = rom::ExportAll(
        image_, op.values[0], decompress_,
        [&](const rom::ExportItem& item) {
          progress.Clear();
          out << rom::Cp1252ToUtf8(item.line) << "\n";
        },
        [&](uint64_t done, uint64_t total) { progress.Show(done, total); });
    progress.Clear();
    if (r.error) return StopWith(*r.error);
    ShowStatus(r.layout_line);
    ShowStatus(std::to_string(r.written) + " written, " + std::to_string(r.written_raw) +
               " written as stored, " + std::to_string(r.refused) + " refused, " +
               std::to_string(r.file_errors) + " file errors");
    return r.refused == 0 && r.file_errors == 0;
  }

  bool Delete(const Operation& op) {
    const int64_t index = FindLine(op.pick, [](rom::StretchKind k) {
      return k == rom::StretchKind::kFileData || k == rom::StretchKind::kFixedBlock;
    });
    if (index < 0) return NoLine(op.pick, "file or fixed-block");
    const auto removal = rom::DeleteStretch(image_, lists_, index, preset_);
    if (!removal && removal.error().kind == rom::ErrorKind::kFixedBlockBehind) {
      return RejectRequest("the file at " + rom::H8(op.pick.start) +
                           " has a fixed block behind it and cannot be deleted: " +
                           removal.error().Message());
    }
    if (!removal) return StopWith(removal.error().Message());
    Reanalyse();
    ShowStatus(rom::Describe(removal.value()));
    return true;
  }

  bool Add(const Operation& op) {
    const std::string& path = op.values[0];
    if (const auto warning = rom::CheckTableEnd(image_)) ShowStatus(rom::Describe(*warning));
    const auto name = rom::EntryNameFromPath(fileio::NativeToUtf8(path));
    if (!name) return StopWith(name.error().Message());
    const auto bytes = ReadInput(path);
    if (!bytes) return false;
    const auto added =
        rom::AddFile(image_, name.value(), *bytes, fileio::FileCreationTime(path).value_or(0));
    if (!added) return StopWith(added.error().Message());
    Reanalyse();
    return true;
  }

  bool Replace(const Operation& op, bool raw) {
    const int64_t index = FindFileLine(op.pick);
    if (index < 0) return NoLine(op.pick, "file");
    const auto plan = rom::PlanReplace(lists_, index);
    if (const auto why = rom::WhyNoReplacement(image_, lists_, index); why || !plan) {
      return RejectRequest("the file line at " + rom::H8(op.pick.start) +
                           " cannot be replaced: " + (why ? why->Message() : std::string()));
    }
    const auto bytes = ReadInput(op.values[0]);
    if (!bytes) return false;
    bool gap_left = false;
    std::string done;
    if (raw) {
      const auto replaced = rom::ReplaceFile(image_, *plan, *bytes, preset_);
      if (!replaced) return StopWith(replaced.error().Message());
      gap_left = replaced->gap_left;
      done = "ACHTUNG! Real-FileSize ggf. korrigieren!";
    } else {
      const auto replaced = rom::ReplaceFileStored(image_, *plan, *bytes, preset_, codec_);
      if (!replaced) return StopWith(replaced.error().Message());
      gap_left = replaced->placed.gap_left;
      done = rom::Describe(replaced.value());
    }
    Reanalyse();
    ShowStatus(done);
    if (gap_left) {
      ShowStatus(
          "Es liegt ein fixer Block dahinter und die Datei ist kleiner, also bleibt ein Rest "
          "übrig.");
    }
    return true;
  }

  bool Edit(const Operation& op) {
    const int64_t index = FindFileLine(op.pick);
    if (index < 0) return NoLine(op.pick, "file");
    const auto values = rom::ReadEntryValues(op.values[0], op.values[1]);
    if (!values) return RejectRequest(values.error().Message());
    const auto entry = rom::EntryOfMapRow(lists_, index);
    const auto set = rom::SetEntry(image_, entry->index, values->attributes, values->real_size);
    if (!set) return StopWith(set.error().Message());
    Reanalyse();
    return true;
  }

  rom::RomImage& image_;
  rom::RomLists& lists_;
  uint8_t preset_;
  const rom::Decompressor& decompress_;
  const rom::StreamCodec& codec_;
  std::ostream& err_;
};

}  // namespace

bool IsConsoleInvocation(const std::vector<std::string>& args) {
  return !args.empty() && args[0].size() > 1 && args[0][0] == '-';
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const rom::Decompressor& decompress, const rom::StreamCodec& codec) {
  if (args.size() == 1 && args[0] == "--version") {
    out << "Tarnwick " << TARNWICK_VERSION << "\n";
    return 0;
  }
  std::string why;
  const auto options = Parse(args, why);
  if (!options) {
    err << "Tarnwick: " << why << "\n" << kUsage;
    return 2;
  }

  rom::RomImage image;
  rom::RomLists lists;
  const auto load =
      rom::OpenImage(image, fileio::AbsolutePath(options->image), options->flash, options->preset);
  if (!load) {
    err << "Tarnwick: " << load.error().Message() << "\n";
    return 1;
  }
  rom::AnalyseImage(image, lists);
  // The lists are still valid without a header; the window says the same in its status bar.
  if (image.SignatureOffset() < 0) {
    err << "Tarnwick: " << rom::Error{.kind = rom::ErrorKind::kNoHeader}.Message() << "\n";
  }

  Session session{image, lists, options->preset, decompress, codec, err};
  for (const Operation& op : options->operations) {
    if (!session.Apply(op, out)) return 1;
  }
  out.flush();
  if (!out) {
    err << "Tarnwick: standard output could not be written\n";
    return 1;
  }
  return 0;
}

}  // namespace console
