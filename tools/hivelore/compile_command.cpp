// The command line and the order of steps of Hivelore --compile.
#include "tools/hivelore/compile_command.h"

#include <algorithm>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "fileio/file_io.h"
#include "tools/hivelore/byte_block.h"
#include "tools/hivelore/file_sink.h"
#include "tools/hivelore/hive_reader.h"
#include "tools/hivelore/hive_writer.h"
#include "tools/hivelore/precompiled_writer.h"
#include "tools/hivelore/reg_text_reader.h"
#include "tools/hivelore/registry_image.h"

namespace hivelore {

namespace {

constexpr const char* kUsage =
    "Usage: Hivelore --compile IN.reg OUT [--like FILE]\n"
    " compiles the REGEDIT4 text IN.reg into the registry file OUT.\n"
    " --like FILE: OUT in the form of the registry file FILE, a precompiled file in its\n"
    "  key layout or a hive with its header; without it a precompiled file.\n";

constexpr const char* kNothingWritten = "; nothing written, a previous file of that name is kept";

int Fail(std::ostream& err, const std::string& message) {
  err << "Hivelore: " << message << "\n";
  return 1;
}

bool EndsWithNoCase(const std::string& text, std::string_view end) {
  if (text.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    char c = text[text.size() - end.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != end[i]) return false;
  }
  return true;
}

// The form of OUT: what FILE is, or a precompiled file in the current layout.
struct Form {
  bool hive = false;
  KeyLayout layout = KeyLayout::kCurrent;
  std::vector<uint8_t> hive_header;  // the start of FILE
  std::string description;
};

std::optional<std::string> FormOf(const std::string& like, Form& form) {
  InputRead file = ReadInputFile(like, static_cast<uint64_t>(kMaxRegistryFileSize));
  if (file.error) return file.error->Message();
  // The precompiled signature first, as when reading the file.
  RegistryImage image;
  image.LoadBlock(std::move(file.block));
  if (image.CheckSignature()) {
    image.ReadU32();  // the header word
    form.layout = image.FirstKeyHasOlderLayout() ? KeyLayout::kOlder : KeyLayout::kCurrent;
    form.description = form.layout == KeyLayout::kOlder ? "precompiled, older key layout"
                                                        : "precompiled, current key layout";
    return std::nullopt;
  }
  const std::span<const uint8_t> bytes = image.bytes();
  if (!IsHive(bytes)) {
    return like +
           ": neither a precompiled registry file (B2 74 83 1D at offset 0) nor a hive (\"EKIM\" "
           "at offset 8), so it gives no form to the output";
  }
  form.hive = true;
  const size_t header = std::min(bytes.size(), kHiveLogOffset);
  form.hive_header.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(header));
  form.description = "a hive with the header of " + like;
  return std::nullopt;
}

// Reads the text into `writer`; why it cannot, with the text's name and the line.
std::optional<std::string> Compile(const std::string& in, std::span<const uint8_t> text,
                                   EntrySink& writer, TextCounts& counts) {
  const TextRead read = ReadRegText(text, writer);
  counts = read.counts;
  if (read.fault) return in + ", " + read.fault->Message();
  return std::nullopt;
}

// Writes the hive to `target` whole or not at all; why it could not.
std::optional<std::string> WriteHive(const HiveWriter& hive, const std::string& target,
                                     uint64_t& size) {
  fileio::AtomicWriter file;
  if (auto e = file.Open(target)) return e->Message();
  FileSink sink(file);
  if (!hive.WriteTo(sink)) {
    file.Abort();
    return sink.error() ? sink.error()->Message() : "the hive could not be written";
  }
  if (auto e = file.Commit()) return e->Message();
  size = hive.FileSize();
  return std::nullopt;
}

}  // namespace

int RunCompile(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const Options& options) {
  std::vector<std::string> names;
  std::optional<std::string> like;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] != "--like") {
      names.push_back(args[i]);
    } else if (!like && i + 1 < args.size()) {
      like = args[++i];
    } else {
      names.clear();
      break;
    }
  }
  if (names.size() != 2) {
    out << kUsage;
    return 1;
  }
  const std::string& in = names[0];
  const std::string& target = names[1];

  Form form;
  form.description = "precompiled, current key layout";
  if (like) {
    if (auto problem = FormOf(*like, form)) return Fail(err, *problem + kNothingWritten);
  } else if (EndsWithNoCase(target, ".hv")) {
    return Fail(err, target +
                         ": a hive is made only --like an existing hive, whose header it takes: "
                         "what the identity fields of a hive header mean is not known" +
                         kNothingWritten);
  }

  InputRead text = ReadInputFile(in, options.max_output_size);
  if (text.error) return Fail(err, text.error->Message() + kNothingWritten);

  TextCounts counts;
  uint64_t size = 0;
  std::optional<std::string> fault;
  try {
    if (form.hive) {
      HiveWriter hive(form.hive_header);
      hive.ReserveForText(text.block.size());
      fault = Compile(in, text.block.bytes(), hive, counts);
      if (!fault) fault = WriteHive(hive, target, size);
    } else {
      PrecompiledWriter precompiled(form.layout);
      precompiled.ReserveForText(text.block.size());
      fault = Compile(in, text.block.bytes(), precompiled, counts);
      const std::span<const uint8_t> file = precompiled.Finish();
      if (!fault && file.empty()) fault = "not enough memory for " + target;
      if (!fault) {
        if (auto e = fileio::WriteFileAtomically(target, file)) fault = e->Message();
      }
      size = file.size();
    }
  } catch (const std::bad_alloc&) {
    // The tables of a hive grow with the text; all else has fixed bounds.
    fault = "not enough memory for " + target;
  }
  if (fault) return Fail(err, *fault + kNothingWritten);
  err << "Hivelore: " << target << ": " << counts.keys << (counts.keys == 1 ? " key, " : " keys, ")
      << counts.values << (counts.values == 1 ? " value, " : " values, ") << size << " bytes, "
      << form.description << "\n";
  return 0;
}

}  // namespace hivelore
