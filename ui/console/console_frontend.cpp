// Option parsing and the operation loop of the console front end.
#include "ui/console/console_frontend.h"

#include <filesystem>
#include <optional>

#include "rom/analysis.h"
#include "rom/cp1252.h"
#include "rom/rom_image.h"

namespace console {

namespace {

constexpr const char* kUsage =
    "usage: Tarnwick --image PATH [--flash 32|64] [--preset 0|FF] OPERATION...\n"
    "operations, carried out in the order given:\n"
    "  --log                   write the analysis log to standard output\n"
    "  --map                   write the memory map to standard output\n";

enum class OpKind { kLog, kMap };

struct Operation {
  OpKind kind;
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
    } else if (a == "--log") {
      o.operations.push_back({OpKind::kLog});
    } else if (a == "--map") {
      o.operations.push_back({OpKind::kMap});
    } else {
      why = "unknown option " + a;
      return std::nullopt;
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

}  // namespace

bool IsConsoleInvocation(const std::vector<std::string>& args) {
  return !args.empty() && args[0].size() > 1 && args[0][0] == '-';
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string why;
  const auto options = Parse(args, why);
  if (!options) {
    err << "Tarnwick: " << why << "\n" << kUsage;
    return 2;
  }

  std::error_code ec;
  std::filesystem::path path(options->image);
  const std::filesystem::path absolute = path.is_absolute() ? path : std::filesystem::absolute(path, ec);
  rom::RomImage image;
  rom::RomLists lists;
  const rom::LoadResult load =
      rom::LoadImage(image, ec ? options->image : absolute.string(), options->flash,
                     options->preset);
  if (!load.ok) {
    err << "Tarnwick: " << rom::Cp1252ToUtf8(load.error) << "\n";
    return 1;
  }
  rom::AnalyseImage(image, lists);

  for (const Operation& op : options->operations) {
    switch (op.kind) {
      case OpKind::kLog:
        WriteLines(lists.AnalysisLog, out);
        break;
      case OpKind::kMap:
        WriteLines(lists.MemoryMap, out);
        break;
    }
  }
  out.flush();
  return out ? 0 : 1;
}

}  // namespace console
