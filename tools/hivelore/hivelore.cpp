// Command line and order of steps of Hivelore.
#include "tools/hivelore/hivelore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/hivelore/regedit4_writer.h"
#include "tools/hivelore/registry_image.h"

namespace hivelore {

namespace {

constexpr const char* kUsage =
    "\"default.fdf\"  Windows CE precompiled Registry Recompiler\n"
    "Usage: Hivelore filename\n"
    " Output is always \"recompiled_FDF_File.reg\"\n"
    " (rename it if you want..)\n"
    " to compile use REGCOMP.EXE from Platformbuilder:\n"
    " REGCOMP myfilename aPathWhereTheFileGoesTo\n";

// Writes `text` to the output file; false with the reason in `error` on failure.
class OutputFile {
 public:
  bool Create(std::string& error) {
    errno = 0;
    file_ = std::fopen(kOutputFileName, "wb");
    if (!file_) error = std::string(kOutputFileName) + ": " + std::strerror(errno ? errno : EIO);
    return file_ != nullptr;
  }
  bool Write(const std::string& text, std::string& error) {
    if (text.empty() || std::fwrite(text.data(), 1, text.size(), file_) == text.size()) return true;
    error = std::string(kOutputFileName) + ": " + std::strerror(errno ? errno : EIO);
    return false;
  }
  bool Close(std::string& error) {
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) == 0) return true;
    error = std::string(kOutputFileName) + ": " + std::strerror(errno ? errno : EIO);
    return false;
  }
  ~OutputFile() {
    if (file_) std::fclose(file_);
  }

 private:
  std::FILE* file_ = nullptr;
};

int FileError(std::ostream& err, const std::string& error) {
  err << "Hivelore: " << error << "\n";
  return 1;
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    out << kUsage;
    return 0;
  }
  RegistryImage image;
  std::string error;
  switch (image.LoadRegistryFile(args[0], error)) {
    case LoadStatus::kOk:
      break;
    case LoadStatus::kMissing:
      out << "kann Datei \"" << args[0] << "\" nicht finden.\n";
      return 1;
    case LoadStatus::kTooLarge:
      out << "die Datei ist zu gro\xE1.\n";  // the console's code page
      return 1;
    case LoadStatus::kIoError:
      return FileError(err, error);
  }

  OutputFile file;
  if (!file.Create(error)) return FileError(err, error);
  if (!image.CheckSignature()) {
    if (!file.Write("die Datei hat eine falsche Signatur.\r\n", error) || !file.Close(error)) {
      return FileError(err, error);
    }
    return 1;
  }
  image.ReadU32();  // the header word

  std::string text;
  text.reserve(static_cast<size_t>(image.size()) * 2 + 64);
  Regedit4Writer writer(image, text);
  writer.WriteHeader();
  image.WalkRecords(writer);
  if (!file.Write(text, error) || !file.Close(error)) return FileError(err, error);
  return 0;
}

}  // namespace hivelore
