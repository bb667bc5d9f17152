// Listings, marks and the batch run of the compress window.
#include "compress/batch.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <span>

#include "fileio/file_io.h"

namespace codec {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kOutputSize = 67108864;
constexpr uint32_t kInputSlack = 4096;
constexpr uint64_t kMaxInput = 0x7FFFFFFFu - kInputSlack;
constexpr size_t kSizeColumn = 16;  // size padded to 10 and " Bytes"

// Characters of a UTF-8 text (bytes that do not continue a character).
size_t Characters(const std::string& s) {
  return static_cast<size_t>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string PadName(const std::string& name) {
  const size_t n = Characters(name);
  return n >= 18 ? name : name + std::string(18 - n, ' ');
}

std::string PadSize(int64_t size) {
  std::string s = std::to_string(size);
  return s.size() >= 10 ? s : std::string(10 - s.size(), ' ') + s;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return static_cast<unsigned char>(lower(x)) < static_cast<unsigned char>(lower(y));
  });
}

// -1 for what cannot be opened, and for what is not a regular file (opening a FIFO to learn
// its size would wait for a writer).
int64_t SizeForListing(const fs::path& p) {
  const fileio::OpenResult opened = fileio::OpenForReading(p.string());
  return opened.error ? -1 : static_cast<int64_t>(opened.file.size());
}

}  // namespace

std::string FolderLine(const std::string& name) { return "   [DIR] " + name; }

std::string FileLine(const std::string& name, int64_t size) {
  return "  " + PadName(name) + PadSize(size) + " Bytes";
}

std::vector<std::string> ListFolder(const std::string& folder, bool with_folders) {
  std::vector<std::string> lines;
  std::error_code ec;
  if (with_folders) {
    lines.push_back(FolderLine("."));
    lines.push_back(FolderLine(".."));
  }
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    std::error_code type_ec;
    if (entry.is_directory(type_ec)) {
      if (with_folders) lines.push_back(FolderLine(name));
      continue;
    }
    lines.push_back(FileLine(name, SizeForListing(entry.path())));
  }
  std::stable_sort(lines.begin(), lines.end(), LessIgnoringCase);
  return lines;
}

void SortListing(std::vector<std::string>& lines) {
  std::stable_sort(lines.begin(), lines.end(), LessIgnoringCase);
}

bool ToggleMark(std::string& line) {
  if (line.empty() || line.find("[DIR]") != std::string::npos) return false;
  line[0] = line[0] == ' ' ? '*' : ' ';
  return true;
}

std::string NameFromLine(const std::string& line) {
  if (line.size() < 2 + kSizeColumn) return {};
  std::string name = line.substr(2, line.size() - 2 - kSizeColumn);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

std::string CountText(int count) {
  return "  " + std::to_string(count) + " Dateien (de-) komprimiert";
}

BatchResult RunBatch(const std::vector<std::string>& source_lines, const std::string& source_dir,
                     const std::string& target_dir, Operation op, const CompressionLibrary& lib,
                     bool overwrite_without_asking, const BatchHooks& hooks) {
  BatchResult result;
  std::vector<std::string> names;
  for (const std::string& line : source_lines) {
    if (!line.empty() && line[0] == '*') names.push_back(NameFromLine(line));
  }
  std::unique_ptr<uint8_t[]> out;
  bool replace_all = overwrite_without_asking;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (hooks.progress &&
        !hooks.progress(static_cast<int>(i + 1), static_cast<int>(names.size()), name)) {
      return result;
    }
    const std::string source = (fs::path(source_dir) / name).string();
    fileio::OpenResult opened = fileio::OpenForReading(source);
    if (opened.error) {
      result.error = opened.error->Message();
      return result;
    }
    if (opened.file.size() > kMaxInput) {
      result.error = source + ": file too large";
      return result;
    }
    const auto size = static_cast<uint32_t>(opened.file.size());
    // The libraries get the file's bytes followed by 4096 zero bytes.
    std::unique_ptr<uint8_t[]> input(new (std::nothrow) uint8_t[size + kInputSlack]());
    if (!out) out.reset(new (std::nothrow) uint8_t[kOutputSize]);
    if (!input || !out) {
      result.error = "out of memory for the buffers of " + source;
      return result;
    }
    if (const auto e = opened.file.ReadExactly(std::span(input.get(), size))) {
      result.error = e->Message();
      return result;
    }
    opened.file = fileio::InputFile();

    const std::optional<uint32_t> written = lib.CallChecked(
        op, std::span<const uint8_t>(input.get(), size), std::span(out.get(), kOutputSize - 1));
    if (!written) {
      if (hooks.add_target_line) hooks.add_target_line("( " + name + " ) --->  Fehler!");
      continue;
    }
    const fs::path target = fs::path(target_dir) / name;
    std::error_code ec;
    if (!replace_all && fs::exists(target, ec) && hooks.ask_overwrite) {
      const OverwriteChoice choice = hooks.ask_overwrite(target.string());
      if (choice == OverwriteChoice::kCancel) return result;
      if (choice == OverwriteChoice::kSkip) continue;
      if (choice == OverwriteChoice::kReplaceAll) replace_all = true;
    }
    if (const auto e = fileio::WriteFileAtomically(target.string(),
                                                   std::span<const uint8_t>(out.get(), *written))) {
      result.error = e->Message();
      return result;
    }
    if (hooks.add_target_line)
      hooks.add_target_line(" " + PadName(name) + PadSize(*written) + " Bytes");
    ++result.count;
  }
  result.finished = true;
  return result;
}

}  // namespace codec
