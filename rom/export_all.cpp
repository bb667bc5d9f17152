// Export of every module and file into one folder, with safe and distinct file names.
#include "rom/export_all.h"

#include <filesystem>
#include <span>
#include <system_error>

#include "fileio/file_io.h"
#include "fileio/native_path.h"
#include "rom/cp1252.h"
#include "rom/export.h"
#include "rom/module_reader.h"
#include "rom/pe_builder.h"
#include "rom/rom_header.h"
#include "rom/rom_layout.h"
#include "rom/text_format.h"

namespace rom {

namespace {

constexpr size_t kMaxFileNameBytes = 255;

// Windows-1252 lower case of one byte: ASCII letters, the accented capitals 0xC0 to 0xDE (not
// the multiplication sign 0xD7), and the four capitals in 0x80 to 0x9F.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
  switch (c) {
    case 0x8A:
      return 0x9A;  // S with caron
    case 0x8C:
      return 0x9C;  // OE
    case 0x8E:
      return 0x9E;  // Z with caron
    case 0x9F:
      return 0xFF;  // Y with diaeresis
    default:
      return c;
  }
}

std::string Folded(const std::string& name) {
  std::string f = name;
  for (char& c : f) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  return f;
}

bool IsDeviceName(std::string base) {
  while (!base.empty() && base.back() == ' ') base.pop_back();
  base = Folded(base);
  if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
      base == "conout$") {
    return true;
  }
  if (base.size() != 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0)) {
    return false;
  }
  const auto digit = static_cast<unsigned char>(base[3]);
  // Superscript one, two and three count as digits for these names on Windows.
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// The file name on this system: UTF-8 where file names are, the image's own bytes on Windows,
// whose narrow file functions take the Windows code page.
std::string HostName(const std::string& name) {
#if defined(_WIN32)
  return name;
#else
  return Cp1252ToUtf8(name);
#endif
}

const char* KindLetter(ExportKind kind) { return kind == ExportKind::kModule ? "M " : "F "; }

class Exporter {
 public:
  Exporter(const RomImage& image, std::string dir, const Decompressor& decompress,
           const ExportItemCallback& on_item)
      : image_(image), dir_(std::move(dir)), decompress_(decompress), on_item_(on_item) {}

  void Module(uint32_t index, const LayoutDetection& layout, uint16_t cpu) {
    ExportItem item;
    item.kind = ExportKind::kModule;
    item.index = index;
    const Result<ModuleInfo> read = ReadModuleToRebuild(image_, index, layout);
    if (!read) {
      Refuse(item, read.error().Message());
      return;
    }
    item.image_name = read->name;
    if (!Name(item)) return;
    const Result<PeFile> pe = BuildPeFile(image_, *read, cpu, decompress_);
    if (!pe) {
      Refuse(item, pe.error().Message());
      return;
    }
    item.details = pe->log;
    Write(item, pe->bytes, ExportStatus::kWritten,
          "rebuilt PE file, " + std::to_string(pe->sections.size()) + " section(s)");
  }

  void File(uint32_t index) {
    ExportItem item;
    item.kind = ExportKind::kFile;
    item.index = index;
    const auto entry = FileEntry(image_, index);
    if (!entry) {
      Refuse(item, "file " + std::to_string(index) + " is not in the file table");
      return;
    }
    item.image_name = image_.ReadRomString(entry->Get(filesentry::lpszFileName));
    if (!Name(item)) return;
    const uint32_t offset = OffsetOf(image_, entry->Get(filesentry::ulLoadOffset));
    const uint32_t comp = entry->Get(filesentry::nCompFileSize);
    const uint32_t real = entry->Get(filesentry::nRealFileSize);
    const bool compressed = (entry->Get(filesentry::dwFileAttributes) & kAttrCompressed) != 0;
    const uint32_t stored = compressed ? comp : real;
    const auto in_image = image_.Bytes(offset, stored);
    if (!in_image) {
      Refuse(item, "its stored bytes (" + H8(offset) + ", " + std::to_string(stored) +
                       " bytes) lie outside the buffer");
      return;
    }
    const std::span<const uint8_t> bytes = *in_image;
    if (!compressed) {
      Write(item, bytes, ExportStatus::kWritten, "stored uncompressed");
      return;
    }
    const Result<std::vector<uint8_t>> out =
        DecompressFile(bytes, real, decompress_, item.image_name);
    if (out) {
      Write(item, *out, ExportStatus::kWritten, "decompressed");
      return;
    }
    Write(item, bytes, ExportStatus::kWrittenRaw,
          "written raw, decompression failed: " + out.error().reason);
  }

  ExportAllResult& result() { return result_; }

 private:
  // Checks and claims the item's file name; false (and the item reported) when refused.
  bool Name(ExportItem& item) {
    auto reason = UnsafeNameReason(item.image_name);
    if (!reason && HostName(item.image_name).size() > kMaxFileNameBytes) {
      reason = "it is longer than " + std::to_string(kMaxFileNameBytes) + " bytes";
    }
    if (reason) {
      Refuse(item, "unsafe name: " + *reason);
      return false;
    }
    item.file_name = names_.Claim(item.image_name);
    return true;
  }

  void Refuse(ExportItem& item, const std::string& why) {
    item.status = ExportStatus::kRefused;
    item.line = KindLetter(item.kind) +
                (item.image_name.empty() ? "#" + std::to_string(item.index) : item.image_name) +
                ": not written, " + why;
    Report(item);
  }

  void Write(ExportItem& item, std::span<const uint8_t> bytes, ExportStatus status,
             const std::string& what) {
    const std::string path = fileio::JoinPath(dir_, HostName(item.file_name));
    std::string head = KindLetter(item.kind) + item.image_name + " -> " + item.file_name;
    if (item.file_name != item.image_name) head += " (name taken by an earlier item)";
    if (const auto error = fileio::WriteFileAtomically(path, bytes)) {
      item.status = ExportStatus::kFileError;
      item.line = head + ": not written, " + error->Message();
      Report(item);
      return;
    }
    item.status = status;
    item.bytes = bytes.size();
    item.line = head + ": " + std::to_string(bytes.size()) + " bytes, " + what;
    Report(item);
  }

  void Report(ExportItem& item) {
    switch (item.status) {
      case ExportStatus::kWritten:
        ++result_.written;
        break;
      case ExportStatus::kWrittenRaw:
        ++result_.written_raw;
        break;
      case ExportStatus::kRefused:
        ++result_.refused;
        break;
      case ExportStatus::kFileError:
        ++result_.file_errors;
        break;
    }
    if (on_item_) on_item_(item);
    result_.items.push_back(std::move(item));
  }

  const RomImage& image_;
  std::string dir_;
  const Decompressor& decompress_;
  const ExportItemCallback& on_item_;
  ExportNames names_;
  ExportAllResult result_;
};

}  // namespace

std::optional<std::string> UnsafeNameReason(const std::string& name) {
  if (name.empty()) return "it is empty";
  if (name == "." || name == "..") return "it names the folder itself or its parent";
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) return "it holds a control character";
    if (c == '/' || c == '\\') return "it holds a slash or backslash";
    if (c == ':') return "it holds a colon (a drive letter or stream)";
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
      return std::string("it holds the character ") + ch + ", which Windows file names cannot";
    }
  }
  if (name.back() == '.' || name.back() == ' ') {
    return "it ends with a dot or blank, which Windows drops";
  }
  if (IsDeviceName(name.substr(0, name.find('.')))) return "it is a device name";
  return std::nullopt;
}

std::string ExportNames::Claim(const std::string& name) {
  if (taken_.insert(Folded(name)).second) return name;
  // The suffix goes before the extension; a leading dot does not start an extension.
  const size_t dot = name.rfind('.');
  const bool has_ext = dot != std::string::npos && dot > 0;
  const std::string stem = has_ext ? name.substr(0, dot) : name;
  const std::string ext = has_ext ? name.substr(dot) : std::string();
  for (uint64_t n = 2;; ++n) {
    std::string candidate = stem + "_" + std::to_string(n) + ext;
    if (taken_.insert(Folded(candidate)).second) return candidate;
  }
}

ExportAllResult ExportAll(const RomImage& image, const std::string& dir,
                          const Decompressor& decompress, const ExportItemCallback& on_item,
                          const ExportProgress& on_progress) {
  Exporter exporter(image, dir, decompress, on_item);
  ExportAllResult& result = exporter.result();
  if (image.SignatureOffset() < 0 || !image.RomHeaderInBuffer()) {
    result.error = "the image has no ROM header to export from";
    return std::move(result);
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir, ec)) {
    result.error = dir + ": not a folder that can be written to" +
                   (ec ? " (" + ec.message() + ")" : std::string());
    return std::move(result);
  }

  const LayoutDetection layout = DetectE32Layout(image);
  result.layout_line = layout.log_line;
  const uint16_t cpu = RomCpuType(image).value_or(0);
  const uint64_t total = uint64_t{image.ModuleCount()} + image.FileCount();
  uint64_t done = 0;
  for (uint32_t i = 0; i < image.ModuleCount(); ++i) {
    exporter.Module(i, layout, cpu);
    if (on_progress) on_progress(++done, total);
  }
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    exporter.File(i);
    if (on_progress) on_progress(++done, total);
  }
  return std::move(result);
}

}  // namespace rom
