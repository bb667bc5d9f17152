// AnalyseImage: the analysis log and the memory map with its gap pass.
#include "rom/analysis.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "rom/bin_image.h"
#include "rom/file_time.h"
#include "rom/header_search.h"
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

void WriteHeaderFields(const ConstRecordView& hdr, LineList& log) {
  size_t label = 0;
  for (uint32_t field = 0; field < romhdr::kSize; field += 4) {
    if (field == romhdr::usCPUType) {
      log.push_back(kHeaderLabels[label++] + H8(hdr.Get16(romhdr::usCPUType)));
      log.push_back(kHeaderLabels[label++] + H8(hdr.Get16(romhdr::usMiscFlags)));
      continue;
    }
    log.push_back(kHeaderLabels[label++] + H8(hdr.Get(field)));
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

// Appends a log line that describes entry `entry` (-1: none).
void Push(RomLists& lists, std::string line, int32_t entry = -1) {
  lists.AnalysisLog.push_back(std::move(line));
  lists.LogEntries.push_back(entry);
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
    Push(lists, std::move(line), static_cast<int32_t>(i));
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
    Push(lists, std::move(line), static_cast<int32_t>(i));
    Push(lists, Detail(" von    ", OffsetOf(image, load)));
    Push(lists, Detail(" bis    ", OffsetOf(image, load + comp)));
    Push(lists, Detail(" name-> ", OffsetOf(image, f.Get(filesentry::lpszFileName))));
  }
  if (image.FileCount() < numfiles) Push(lists, RestOfTable("Dateien", image.FileCount()));
}

const std::string* LineAt(const LineList& list, int64_t index) {
  return index >= 0 && static_cast<uint64_t>(index) < list.size()
             ? &list[static_cast<size_t>(index)]
             : nullptr;
}

int32_t EntryAt(const std::vector<int32_t>& entries, int64_t index) {
  return index >= 0 && static_cast<uint64_t>(index) < entries.size()
             ? entries[static_cast<size_t>(index)]
             : -1;
}

}  // namespace

int32_t RomLists::LogEntry(int64_t index) const { return EntryAt(LogEntries, index); }
int32_t RomLists::MapEntry(int64_t index) const { return EntryAt(MapEntries, index); }
const std::string* RomLists::LogLine(int64_t index) const { return LineAt(AnalysisLog, index); }
const std::string* RomLists::MapLine(int64_t index) const { return LineAt(MemoryMap, index); }

bool FixedBlockFollows(const LineList& map, int64_t index) {
  if (index < 0) index = 0;
  for (auto i = static_cast<size_t>(index); i < map.size(); ++i) {
    if (MapKindOf(map[i]) == MapLineKind::kFixedBlock) return true;
  }
  return false;
}

void WriteMemoryMap(const RomImage& image, RomLists& lists) {
  LineList& map = lists.MemoryMap;
  std::vector<int32_t>& entries = lists.MapEntries;
  map.clear();
  entries.clear();
  if (!image.RomHeaderInBuffer()) return;

  // Every line begins with its start offset in 8 upper-case hexadecimal digits, so comparing
  // the numbers first gives the order of the texts; equal starts compare the whole text.
  struct Stretch {
    uint32_t start;
    uint32_t end;
    std::string text;
    int32_t entry;
  };
  std::vector<Stretch> lines;
  lines.reserve(size_t{image.FileCount()} * 2 + 1);
  const uint32_t block_end = image.RomHeaderOffset() + romhdr::kSize +
                             tocentry::kSize * image.ModuleCount() +
                             filesentry::kSize * image.FileCount() - 1;
  lines.push_back({image.RomHeaderOffset(), block_end,
                   HeaderBlockLine(image.RomHeaderOffset(), block_end), -1});

  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    const ConstRecordView f = *FileEntry(image, i);
    const uint32_t attributes = f.Get(filesentry::dwFileAttributes);
    const uint32_t comp = f.Get(filesentry::nCompFileSize);
    const FileStretch st = FileStretchOf(image, i);
    const uint32_t name_address = f.Get(filesentry::lpszFileName);
    const uint32_t name_length = image.RomStringLength(name_address);
    const auto entry = static_cast<int32_t>(i);

    std::string data;
    data.reserve(96);
    AppendMapRange(data, st.data, st.data + st.length - 1);
    AppendFileKind(data, attributes);
    AppendDec(data, comp, 7);
    data.append("  ");
    AppendName(data, image, name_address);
    PadRight(data, 60);
    data.push_back('(');
    AppendEntryTime(data, f, filesentry::ftTime);
    data.append(") name @ ");
    AppendHex(data, st.name, 8);
    lines.push_back({st.data, st.data + st.length - 1, std::move(data), entry});

    std::string name;
    name.reserve(40 + name_length);
    AppendMapRange(name, st.name, st.name + name_length);
    name.append(" namestr \"");
    AppendName(name, image, name_address);
    name.push_back('"');
    lines.push_back({st.name, st.name + name_length, std::move(name), entry});
  }
  std::stable_sort(lines.begin(), lines.end(), [](const Stretch& a, const Stretch& b) {
    return a.start != b.start ? a.start < b.start : MapLineLess(a.text, b.text);
  });

  // Gap pass: each line against the line directly before it in sort order. A gap line sorts
  // directly before the line that follows it, so it is written there.
  map.reserve(lines.size() * 2 + 2);
  entries.reserve(lines.size() * 2 + 2);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) {
      const uint32_t e = lines[i - 1].end;
      const uint32_t d = lines[i].start;
      const auto gap = static_cast<int32_t>(d - e - 1u);
      if (gap > 0) {
        map.push_back(GapLine(e + 1, d - 1, static_cast<uint32_t>(gap)));
        entries.push_back(-1);
      }
    }
    map.push_back(std::move(lines[i].text));
    entries.push_back(lines[i].entry);
  }

  // Stretches that wrap around the 32-bit range can make a gap line sort elsewhere: sort the
  // lines and their entries together.
  auto less = [](const std::string& a, const std::string& b) { return MapLineLess(a, b); };
  if (!std::is_sorted(map.begin(), map.end(), less)) {
    std::vector<size_t> order(map.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&map](size_t a, size_t b) { return MapLineLess(map[a], map[b]); });
    LineList sorted_map;
    std::vector<int32_t> sorted_entries;
    sorted_map.reserve(map.size());
    sorted_entries.reserve(map.size());
    for (size_t k : order) {
      sorted_map.push_back(std::move(map[k]));
      sorted_entries.push_back(entries[k]);
    }
    map = std::move(sorted_map);
    entries = std::move(sorted_entries);
  }
  auto insert_sorted = [&](std::string line) {
    const auto at = std::upper_bound(map.begin(), map.end(), line, less);
    entries.insert(entries.begin() + (at - map.begin()), -1);
    map.insert(at, std::move(line));
  };
  // An empty leading gap (the lowest stretch starts at 0) gets no line: it would offer an
  // empty block for deletion.
  const uint32_t d0 = *LineStart(map.front());
  if (d0 != 0) insert_sorted(LeadingGapLine(d0));
  insert_sorted(
      UnallocatedLine(*LineEnd(map.back()) + 1, static_cast<uint32_t>(image.BufferSize()) - 1));
}

void AnalyseImage(RomImage& image, RomLists& lists) {
  lists.AnalysisLog.clear();
  lists.LogEntries.clear();
  const ImageSource& source = image.Source();
  if (source.records) Push(lists, BinLogLine(*source.records));
  Push(lists, "; File: " + image.FileName());
  const auto length = static_cast<uint32_t>(image.ImageLength());
  Push(lists, "; Size   = " + H8(length) + " (" + std::to_string(length) + ")");

  const auto loc = LocateRomHeader(image);
  if (!loc) {
    lists.MemoryMap.clear();
    lists.MapEntries.clear();
    return;
  }
  lists.AnalysisLog.reserve(size_t{image.ModuleCount()} * 4 + size_t{image.FileCount()} * 4 + 40);
  lists.LogEntries.reserve(lists.AnalysisLog.capacity());
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
    lists.MapEntries.clear();
    return;
  }
  WriteHeaderFields(*hdr, lists.AnalysisLog);
  lists.LogEntries.resize(lists.AnalysisLog.size(), -1);
  Push(lists, "; =========================== Modules = " + std::to_string(loc->nummods));
  Push(lists, "; [CHRS] = Compressed,Hidden,ROM,System");
  WriteModules(image, loc->nummods, lists);
  Push(lists, "; =========================== Files = " + std::to_string(loc->numfiles));
  WriteFiles(image, loc->numfiles, lists);
  WriteMemoryMap(image, lists);
}

}  // namespace rom
