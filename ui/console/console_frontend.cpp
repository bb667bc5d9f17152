// Option parsing and the operation loop of the console front end.
#include "ui/console/console_frontend.h"

#include <filesystem>
#include <optional>

#include "rom/add_replace.h"
#include "rom/analysis.h"
#include "rom/cp1252.h"
#include "rom/delete.h"
#include "rom/edit_steps.h"
#include "rom/entry_edit.h"
#include "rom/file_io.h"
#include "rom/rom_image.h"
#include "rom/selection.h"
#include "rom/text_format.h"
#include "ui/console/file_creation_time.h"

namespace console {

namespace {

constexpr const char* kUsage =
    "usage: Tarnwick --image PATH [--flash 32|64] [--preset 0|FF] OPERATION...\n"
    "operations, carried out in the order given:\n"
    "  --log                   write the analysis log to standard output\n"
    "  --map                   write the memory map to standard output\n"
    "  --export START OUT      \"Datei speichern\" of the file line at START (decompressed)\n"
    "  --export-raw START OUT  the same with \"Export roh\" ticked (bytes as stored)\n"
    "  --delete START          delete the file or fixed block at START\n"
    "  --add FILE              add FILE in front of the ROM header\n"
    "  --replace START FILE    replace the file at START by FILE\n"
    "  --edit START ATTRS REALSIZE\n"
    "                          set the attribute word and real size of the file at START\n"
    "  --save OUT              write the image (its first ImageLength bytes) to OUT\n"
    "START is the 8-digit hexadecimal start offset of a memory-map line.\n";

enum class OpKind { kLog, kMap, kExport, kExportRaw, kDelete, kAdd, kReplace, kEdit, kSave };

struct Operation {
  OpKind kind;
  uint32_t start = 0;
  std::vector<std::string> values;  // paths and texts, in command-line order
};

// Options that take a START and further values: how many values after START.
struct OpSyntax {
  const char* name;
  OpKind kind;
  bool has_start;
  size_t values;
};
constexpr OpSyntax kOps[] = {
    {"--log", OpKind::kLog, false, 0},        {"--map", OpKind::kMap, false, 0},
    {"--export", OpKind::kExport, true, 1},   {"--export-raw", OpKind::kExportRaw, true, 1},
    {"--delete", OpKind::kDelete, true, 0},   {"--add", OpKind::kAdd, false, 1},
    {"--replace", OpKind::kReplace, true, 1}, {"--edit", OpKind::kEdit, true, 2},
    {"--save", OpKind::kSave, false, 1},
};

struct Options {
  std::string image;
  rom::FlashChoice flash = rom::FlashChoice::k32MB;
  uint8_t preset = 0x00;
  std::vector<Operation> operations;
};

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
      Operation op{syntax->kind, 0, {}};
      if (syntax->has_start) {
        const std::string& start = args[++i];
        const auto v = rom::ParseHex32(start);
        if (start.size() != 8 || !v) {
          why = a + ": START must be 8 hexadecimal digits, not " + start;
          return std::nullopt;
        }
        op.start = *v;
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

void WriteLines(const rom::LineList& lines, std::ostream& out) {
  for (const std::string& line : lines) {
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.write("\r\n", 2);
  }
}

// Carries out operations on one loaded image, as the window's handlers would.
class Session {
 public:
  Session(rom::RomImage& image, rom::RomLists& lists, uint8_t preset,
          const rom::RomDecompressor& decompress, std::ostream& err)
      : image_(image), lists_(lists), preset_(preset), decompress_(decompress), err_(err) {}

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
        return Report(rom::AddFile(
            image_, lists_,
            {op.values[0], rom::EntryNameFromPath(op.values[0]), FileCreationTime(op.values[0])}));
      case OpKind::kReplace:
        return Replace(op);
      case OpKind::kEdit:
        return Edit(op);
      case OpKind::kSave:
        rom::RefreshSecondPointer(image_);
        return Report(rom::SaveImage(image_, op.values[0]));
    }
    return false;
  }

 private:
  // Index of the first memory-map line that starts at `start` and fits `fits`, or -1.
  template <typename Fits>
  int64_t FindLine(uint32_t start, Fits fits) const {
    for (size_t i = 0; i < lists_.MemoryMap.size(); ++i) {
      const std::string& line = lists_.MemoryMap[i];
      if (rom::LineStart(line) == start && fits(line)) return static_cast<int64_t>(i);
    }
    return -1;
  }

  int64_t FindFileLine(uint32_t start) const {
    return FindLine(start, [](const std::string& l) { return rom::IsFileLine(l); });
  }

  bool Fail(const std::string& reason) {
    err_ << "Tarnwick: " << rom::Cp1252ToUtf8(reason) << "\n";
    return false;
  }

  bool NoLine(uint32_t start, const char* kind) {
    return Fail("no " + std::string(kind) + " line starts at " + rom::H8(start));
  }

  // Writes what the window would show in status panel 2 or a message box.
  bool Report(const rom::ActionOutcome& o) {
    if (o.status2 && !o.status2->empty()) err_ << rom::Cp1252ToUtf8(*o.status2) << "\n";
    if (o.message) err_ << rom::Cp1252ToUtf8(o.message->text) << "\n";
    if (o.done()) return true;
    const bool said =
        (o.message && o.message->text == o.reason) || (o.status2 && *o.status2 == o.reason);
    return said ? false : Fail(o.reason.empty() ? "nothing done" : o.reason);
  }

  bool Export(const Operation& op, bool raw) {
    const int64_t index = FindFileLine(op.start);
    if (index < 0) return NoLine(op.start, "file");
    const rom::ExportSelection sel = rom::SelectExportEntry(image_, lists_, true, -1, index);
    if (!sel.target) return Fail("no file entry stores its bytes at " + rom::H8(op.start));
    return Report(rom::ExportEntry(image_, *sel.target, op.values[0], raw, decompress_));
  }

  bool Delete(const Operation& op) {
    const int64_t index = FindLine(op.start, [](const std::string& l) {
      return rom::IsFileLine(l) || rom::IsFixedBlockLine(l);
    });
    if (index < 0) return NoLine(op.start, "file or fixed-block");
    if (!rom::ClickOnMapLine(lists_.MemoryMap, index).delete_enabled) {
      return Fail("the file at " + rom::H8(op.start) +
                  " has a fixed block behind it and cannot be deleted");
    }
    rom::DeleteClick click = rom::DeleteButtonClick(image_, lists_, index, preset_);
    if (!click.show_block_warning) return Report(click.outcome);
    return Report(rom::DeleteBlock(image_, lists_, index, preset_));
  }

  bool Replace(const Operation& op) {
    const int64_t index = FindFileLine(op.start);
    if (index < 0) return NoLine(op.start, "file");
    const auto plan = rom::PlanReplace(lists_.MemoryMap, index);
    if (!plan) return Fail("the file line at " + rom::H8(op.start) + " cannot be replaced");
    return Report(rom::ReplaceFile(image_, lists_, *plan, op.values[0], preset_));
  }

  bool Edit(const Operation& op) {
    const int64_t index = FindFileLine(op.start);
    if (index < 0) return NoLine(op.start, "file");
    rom::EditState state;
    if (!rom::EntryEditButtonClick(image_, lists_.MemoryMap, index, state)) {
      return Fail("no file entry stores its bytes at " + rom::H8(op.start));
    }
    const rom::EditOkResult r =
        rom::EditOkButtonClick(image_, lists_, state, op.values[0], op.values[1], index);
    return Report(r.outcome);
  }

  rom::RomImage& image_;
  rom::RomLists& lists_;
  uint8_t preset_;
  const rom::RomDecompressor& decompress_;
  std::ostream& err_;
};

}  // namespace

bool IsConsoleInvocation(const std::vector<std::string>& args) {
  return !args.empty() && args[0].size() > 1 && args[0][0] == '-';
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const rom::RomDecompressor& decompress) {
  std::string why;
  const auto options = Parse(args, why);
  if (!options) {
    err << "Tarnwick: " << why << "\n" << kUsage;
    return 2;
  }

  std::error_code ec;
  std::filesystem::path path(options->image);
  const std::filesystem::path absolute =
      path.is_absolute() ? path : std::filesystem::absolute(path, ec);
  rom::RomImage image;
  rom::RomLists lists;
  const rom::LoadResult load = rom::LoadImage(image, ec ? options->image : absolute.string(),
                                              options->flash, options->preset);
  if (!load.ok) {
    err << "Tarnwick: " << rom::Cp1252ToUtf8(load.error) << "\n";
    return 1;
  }
  rom::AnalyseImage(image, lists);

  Session session{image, lists, options->preset, decompress, err};
  for (const Operation& op : options->operations) {
    if (!session.Apply(op, out)) return 1;
  }
  out.flush();
  return out ? 0 : 1;
}

}  // namespace console
