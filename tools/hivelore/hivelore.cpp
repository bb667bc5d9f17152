// Command line and order of steps of Hivelore.
#include "tools/hivelore/hivelore.h"

#include <filesystem>
#include <optional>
#include <utility>

#include "fileio/file_io.h"
#include "tools/hivelore/byte_block.h"
#include "tools/hivelore/compile_command.h"
#include "tools/hivelore/file_sink.h"
#include "tools/hivelore/hive_reader.h"
#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/registry_image.h"
#include "tools/hivelore/text_output.h"

namespace hivelore {

namespace {

constexpr const char* kUsage =
    "\"default.fdf\"  Windows CE precompiled Registry Recompiler\n"
    "Usage: Hivelore filename\n"
    " Output is always \"recompiled_FDF_File.reg\"\n"
    " (rename it if you want..)\n"
    " to compile use REGCOMP.EXE from Platformbuilder:\n"
    " REGCOMP myfilename aPathWhereTheFileGoesTo\n";

constexpr const char* kNothingWritten = "; nothing written, a previous file of that name is kept";

int Fail(std::ostream& err, const std::string& message) {
  err << "Hivelore: " << message << "\n";
  return 1;
}

// Reports why the input could not be read.
int InputError(const std::string& name, const fileio::Error& error, std::ostream& out,
               std::ostream& err) {
  std::error_code ec;
  switch (error.kind) {
    case fileio::ErrorKind::kNotFound:
      out << "kann Datei \"" << name << "\" nicht finden.\n";
      return 1;
    case fileio::ErrorKind::kTooLarge:
      out << "die Datei ist zu gro\xE1.\n";  // the console's code page
      return 1;
    case fileio::ErrorKind::kNotRegular:
      // A folder is no file to find, as on the platform; FIFOs and devices are refused.
      if (std::filesystem::is_directory(name, ec)) {
        out << "kann Datei \"" << name << "\" nicht finden.\n";
        return 1;
      }
      break;
    case fileio::ErrorKind::kSystem:
      break;
  }
  return Fail(err, error.Message());
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const Options& options) {
  if (!args.empty() && args[0] == kCompileSwitch) return RunCompile(args, out, err, options);
  if (args.size() != 1) {
    out << kUsage;
    return 0;
  }
  InputRead input = ReadInputFile(args[0], kMaxRegistryFileSize);
  if (input.error) return InputError(args[0], *input.error, out, err);

  fileio::AtomicWriter file;
  if (auto e = file.Open(kOutputFileName)) return Fail(err, e->Message() + kNothingWritten);

  RegistryImage image;
  image.LoadBlock(std::move(input.block));
  const bool precompiled = image.CheckSignature();
  if (!precompiled && !IsHive(image.bytes())) {
    if (auto e = file.Write(std::string_view("die Datei hat eine falsche Signatur.\r\n"))) {
      return Fail(err, e->Message() + kNothingWritten);
    }
    if (auto e = file.Commit()) return Fail(err, e->Message() + kNothingWritten);
    return 1;
  }

  FileSink sink(file);
  TextOutput text(sink, options.max_output_size);
  Regedit4Writer writer(text);
  writer.WriteHeader();
  if (precompiled) {
    image.ReadU32();  // the header word
    image.WalkRecords(writer);
  } else if (auto refusal = WalkHive(image.bytes(), writer)) {
    file.Abort();
    return Fail(err, args[0] + ": not a sound hive file, " + refusal->Message() + kNothingWritten);
  }
  if (!text.Finish()) {
    file.Abort();
    if (sink.error()) return Fail(err, sink.error()->Message() + kNothingWritten);
    return Fail(err, "the registry text passes " + std::to_string(text.limit()) +
                         " bytes, far more than any real registry holds; stopped" +
                         kNothingWritten);
  }
  if (auto e = file.Commit()) return Fail(err, e->Message() + kNothingWritten);
  err << "Hivelore: " << writer.statistics().Summary() << "\n";
  return 0;
}

}  // namespace hivelore
