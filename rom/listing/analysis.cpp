// AnalyseImage: the analysis log and the memory map with its gap pass.
#include "rom/listing/analysis.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "rom/file_time.h"
#include "rom/header_search.h"
#include "rom/listing/list_format.h"
#include "rom/module_reader.h"
#include "rom/rom_header.h"
#include "rom/rom_layout.h"
#include "rom/text_format.h"

namespace rom {

namespace {

constexpr const char* kHeaderLabels[] = {
    ">  DLL first    : ", ">  DLL last     : ", ">  phys first   : ", ">  phys last    : ",
    ">  nummodules   : ", ">  RAM Start    : ", ">  RAM Free     : ", ">  RAM End      : ",
    ">  Copy Entries : ", ">  Copy Offset  : ", ">  Profile Len  : ", ">  Profile Off  : ",
    ">  numfiles     : ", ">  Kernel Flags : ", ">  FsRamPercent : ", ">  DrivGlobStart: ",
    ">  DrivGlobLen  : ", ">  CPU Type     : ", ">  misc. Flags  : ", ">  Pt Extensions: ",
    ">  TrackingStart: ", ">  TrackingLen  : "};

// "ß" in Windows-1252.
constexpr const char* kOutsideBuffer =
    " au\xDF"
    "erhalb des Puffers";

// Appends the name at `address` as ReadRomString reads it.
void AppendName(std::string& out, const RomImage& image, uint32_t address) {
  const uint32_t n = image.RomStringLength(address);
  if (n == 0) return;
  const auto bytes = *image.Bytes(address - image.RomBase(), n);
  out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void AppendEntryTime(std::string& out, const ConstRecordView& e, uint32_t ft_field) {
  AppendFileTime(out, e.Get(ft_field), e.Get(ft_field + 4));
}

// Appends a log row that describes no entry, or module or file entry `entry`.
void Push(RomLists& lists, std::string text) {
  lists.AnalysisLog.push_back({LogRowKind::kOther, std::nullopt, std::move(text)});
}
void Push(RomLists& lists, LogRowKind kind, uint32_t entry, std::string text) {
  lists.AnalysisLog.push_back({kind, entry, std::move(text)});
}

void WriteHeaderFields(const ConstRecordView& hdr, RomLists& lists) {
  size_t label = 0;
  for (uint32_t field = 0; field < romhdr::kSize; field += 4) {
    if (field == romhdr::usCPUType) {
      Push(lists, kHeaderLabels[label++] + H8(hdr.Get16(romhdr::usCPUType)));
      Push(lists, kHeaderLabels[label++] + H8(hdr.Get16(romhdr::usMiscFlags)));
      continue;
    }
    Push(lists, kHeaderLabels[label++] + H8(hdr.Get(field)));
  }
}

// The line that ends a table the log does not list whole: the rest lies outside the buffer,
// or the table has more entries than the tools list.
std::string RestOfTable(const char* what, uint32_t listed) {
  std::string line = std::string("; ") + what + " ab Nr. " + std::to_string(listed);
  if (listed == kMaxTableEntries) {
    return line + " nicht gelistet (mehr als " + std::to_string(kMaxTableEntries) + ")";
  }
  return line + " liegen" + kOutsideBuffer;
}

// Detail line: a label and an 8-digit offset.
std::string Detail(const char* label, uint32_t value) {
  std::string line(label);
  AppendHex(line, value, 8);
  return line;
}

// The start of a module or file line of the log: the kind letter, "[CHRS", the other
// attribute bits, "]  ", the name padded to `width`, "(" and the time stamp. Both entry kinds
// keep ftTime at offset 4 and the name address at `name_field`.
std::string EntryLineHead(char kind, uint32_t attributes, const RomImage& image,
                          const ConstRecordView& e, uint32_t name_field, size_t width) {
  static_assert(tocentry::ftTime == filesentry::ftTime);
  std::string line(1, kind);
  line.append("[CHRS");
  AppendExtraBits(line, attributes);
  line.append("]  ");
  const size_t name_at = line.size();
  AppendName(line, image, e.Get(name_field));
  PadRight(line, name_at + width);
  line.push_back('(');
  AppendEntryTime(line, e, filesentry::ftTime);
  return line;
}

void WriteModules(const RomImage& image, uint32_t nummods, RomLists& lists) {
  for (uint32_t i = 0; i < image.ModuleCount(); ++i) {
    const ConstRecordView m = *ModuleEntry(image, i);
    const uint32_t attributes = m.Get(tocentry::dwFileAttributes);
    const uint32_t size = m.Get(tocentry::nFileSize);
    std::string line = EntryLineHead('M', attributes, image, m, tocentry::lpszFileName, 20);
    line.append(") Size= ");
    AppendHex(line, size, 8);
    line.append("  (");
    AppendDec(line, size);
    line.push_back(')');
    ApplyLetterMarks(line, kLogLetterColumn, attributes);
    Push(lists, LogRowKind::kModule, i, std::move(line));
    Push(lists, Detail("  E32  : ", OffsetOf(image, m.Get(tocentry::ulE32Offset))));
    Push(lists, Detail("  O32  : ", OffsetOf(image, m.Get(tocentry::ulO32Offset))));
    Push(lists, Detail("  Load : ", m.Get(tocentry::ulLoadOffset)));
  }
  if (image.ModuleCount() < nummods) Push(lists, RestOfTable("Module", image.ModuleCount()));
}

void WriteFiles(const RomImage& image, uint32_t numfiles, RomLists& lists) {
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    const ConstRecordView f = *FileEntry(image, i);
    const uint32_t attributes = f.Get(filesentry::dwFileAttributes);
    const uint32_t comp = f.Get(filesentry::nCompFileSize);
    const uint32_t load = f.Get(filesentry::ulLoadOffset);
    std::string line = EntryLineHead('F', attributes, image, f, filesentry::lpszFileName, 24);
    line.append(")  Len ");
    AppendDec(line, f.Get(filesentry::nRealFileSize));
    PadRight(line, 43);
    if (attributes & kAttrCompressed) {
      line.append(" compr: ");
      AppendDec(line, comp);
    }
    ApplyLetterMarks(line, kLogLetterColumn, attributes);
    Push(lists, LogRowKind::kFile, i, std::move(line));
    Push(lists, Detail(" von    ", OffsetOf(image, load)));
    Push(lists, Detail(" bis    ", OffsetOf(image, load + comp)));
    Push(lists, Detail(" name-> ", OffsetOf(image, f.Get(filesentry::lpszFileName))));
  }
  if (image.FileCount() < numfiles) Push(lists, RestOfTable("Dateien", image.FileCount()));
}

// The text of the memory-map line of stretch `s`.
std::string MapText(const RomImage& image, const Stretch& s) {
  switch (s.kind) {
    case StretchKind::kHeader:
      return HeaderBlockLine(s.first, s.last);
    case StretchKind::kFixedBlock:
    case StretchKind::kSmallGap:
      return GapLine(s.first, s.last, s.last - s.first + 1);
    case StretchKind::kUnallocated:
      return UnallocatedLine(s.first, s.last);
    case StretchKind::kFileData:
    case StretchKind::kFileName:
      break;
  }
  const ConstRecordView f = *FileEntry(image, *s.entry);
  const uint32_t name_address = f.Get(filesentry::lpszFileName);
  std::string line;
  if (s.kind == StretchKind::kFileName) {
    line.reserve(40 + image.RomStringLength(name_address));
    AppendMapRange(line, s.first, s.last);
    line.append(" namestr \"");
    AppendName(line, image, name_address);
    line.push_back('"');
    return line;
  }
  line.reserve(96);
  AppendMapRange(line, s.first, s.last);
  AppendFileKind(line, f.Get(filesentry::dwFileAttributes));
  AppendDec(line, f.Get(filesentry::nCompFileSize), 7);
  line.append("  ");
  AppendName(line, image, name_address);
  PadRight(line, 60);
  line.push_back('(');
  AppendEntryTime(line, f, filesentry::ftTime);
  line.append(") name @ ");
  AppendHex(line, OffsetOf(image, name_address), 8);
  return line;
}

// The order of the memory map's texts: each begins with its first and last offset in 8
// upper-case hexadecimal digits, so comparing the numbers first gives the order of the texts.
bool MapRowLess(const MapRow& a, const MapRow& b) {
  if (a.first != b.first) return a.first < b.first;
  if (a.last != b.last) return a.last < b.last;
  return MapLineLess(a.text, b.text);
}

template <typename Row>
const Row* RowAt(const std::vector<Row>& rows, int64_t index) {
  return index >= 0 && static_cast<uint64_t>(index) < rows.size()
             ? &rows[static_cast<size_t>(index)]
             : nullptr;
}

}  // namespace

const LogRow* RomLists::LogRowAt(int64_t index) const { return RowAt(AnalysisLog, index); }
const MapRow* RomLists::MapRowAt(int64_t index) const { return RowAt(MemoryMap, index); }

void WriteMemoryMap(const RomImage& image, RomLists& lists) {
  std::vector<MapRow>& map = lists.MemoryMap;
  map.clear();
  const std::optional<ImageStretches> stretches = StretchesOf(image);
  if (!stretches) return;
  std::vector<MapRow> rows;
  rows.reserve(stretches->listed.size() + 2);
  for (const Stretch& s : stretches->listed) rows.push_back({s, MapText(image, s)});
  if (const auto& gap = stretches->leading_gap) {
    rows.push_back({*gap, LeadingGapLine(gap->last + 1)});
  }
  rows.push_back({stretches->unallocated, MapText(image, stretches->unallocated)});
  // Rows of equal text keep the order of the stretches: the file table's order. The order is
  // found on indices, so that the sort moves no text.
  std::vector<uint32_t> order(rows.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(),
                   [&rows](uint32_t a, uint32_t b) { return MapRowLess(rows[a], rows[b]); });
  map.reserve(rows.size());
  for (const uint32_t i : order) map.push_back(std::move(rows[i]));
}

void AnalyseImage(RomImage& image, RomLists& lists) {
  lists.AnalysisLog.clear();
  const ImageSource& source = image.Source();
  if (source.records) Push(lists, BinLogLine(*source.records));
  Push(lists, "; File: " + image.FileName());
  const auto length = static_cast<uint32_t>(image.ImageLength());
  Push(lists, "; Size   = " + H8(length) + " (" + std::to_string(length) + ")");

  const auto loc = LocateRomHeader(image);
  if (!loc) {
    lists.MemoryMap.clear();
    return;
  }
  lists.AnalysisLog.reserve(size_t{image.ModuleCount()} * 4 + size_t{image.FileCount()} * 4 + 40);
  Push(lists, "; ECEC found @ " + H8(loc->signature_offset) + " Header (abs) @ " +
                  H8(loc->header_address) + ", (in Img) @ " + H8(loc->header_offset));
  if (source.wrapper_bytes != 0 || source.header_offset) {
    Push(lists, FoundHeaderLogLine({source.wrapper_bytes, loc->header_offset, image.RomBase()}));
  }
  Push(lists, image.SecondPointerOffset() != 0
                  ? "; zweiter Ptr zum RomHdr bei " + H8(image.SecondPointerOffset())
                  : std::string("; zweiter Ptr zum RomHdr FEHLT !!!"));
  Push(lists, "; ============ RomHeader ===========");
  const auto hdr = RomHeaderView(std::as_const(image));
  if (!hdr) {
    Push(lists, "; RomHeader @ " + H8(loc->header_offset) + " liegt" + kOutsideBuffer);
    lists.MemoryMap.clear();
    return;
  }
  WriteHeaderFields(*hdr, lists);
  // Edits keep "phys last" at the image's end only where it marked the end before.
  const uint32_t image_end = image.RomBase() + length;
  if (hdr->Get(romhdr::physlast) != image_end) {
    Push(lists, "; phys last " + H8(hdr->Get(romhdr::physlast)) + " ist nicht das Ende des Image (" +
                    H8(image_end) + "); er folgt der L\xE4nge nicht");
  }
  Push(lists, "; =========================== Modules = " + std::to_string(loc->nummods));
  Push(lists, "; [CHRS] = Compressed,Hidden,ROM,System");
  WriteModules(image, loc->nummods, lists);
  // Which e32_rom layout the modules are read (and rebuilt) in.
  if (image.ModuleCount() > 0) Push(lists, DetectE32Layout(image).log_line);
  Push(lists, "; =========================== Files = " + std::to_string(loc->numfiles));
  WriteFiles(image, loc->numfiles, lists);
  WriteMemoryMap(image, lists);
}

}  // namespace rom
