// Folder listings and result rows of the batch window.
#include "ui/presenter/batch_listing.h"

#include <algorithm>
#include <filesystem>

#include "fileio/file_io.h"

namespace presenter {

namespace {

namespace fs = std::filesystem;

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

BatchRow FolderRow(const std::string& name) {
  return {BatchRowKind::kFolder, name, -1, false, "   [DIR] " + name};
}

BatchRow FileRow(const std::string& name, int64_t size) {
  return {BatchRowKind::kFile, name, size, false, "  " + PadName(name) + PadSize(size) + " Bytes"};
}

BatchRow WrittenRow(const std::string& name, int64_t size) {
  return {BatchRowKind::kWritten, name, size, false,
          " " + PadName(name) + PadSize(size) + " Bytes"};
}

BatchRow FailedRow(const std::string& name, const std::string& reason) {
  return {BatchRowKind::kFailed, name, -1, false, "( " + name + " ) --->  Fehler!", reason};
}

bool ToggleMark(BatchRow& row) {
  if (row.kind != BatchRowKind::kFile) return false;
  row.marked = !row.marked;
  row.text[0] = row.marked ? '*' : ' ';
  return true;
}

std::vector<BatchRow> ListFolder(const std::string& folder, bool with_folders) {
  std::vector<BatchRow> rows;
  std::error_code ec;
  if (with_folders) {
    rows.push_back(FolderRow("."));
    rows.push_back(FolderRow(".."));
  }
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    std::error_code type_ec;
    if (entry.is_directory(type_ec)) {
      if (with_folders) rows.push_back(FolderRow(name));
      continue;
    }
    rows.push_back(FileRow(name, SizeForListing(entry.path())));
  }
  SortRows(rows);
  return rows;
}

void SortRows(std::vector<BatchRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const BatchRow& a, const BatchRow& b) {
    return LessIgnoringCase(a.text, b.text);
  });
}

std::string CountText(int count) {
  return "  " + std::to_string(count) + " Dateien (de-) komprimiert";
}

}  // namespace presenter
