// AnalyseImage: the analysis log and the memory map with its gap pass.
#include "rom/analysis.h"

#include <algorithm>

#include "rom/file_time.h"
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

// "+" and the attribute bits other than C, H, R, S, when there are any.
void AppendExtra(std::string& out, uint32_t attributes) {
  const uint32_t rest = attributes & ~kAttrNamedMask;
  if (rest == 0) return;
  out.push_back('+');
  AppendHex(out, rest, 3);
}

// Appends the name at `address` as ReadRomString reads it.
void AppendName(std::string& out, const RomImage& image, uint32_t address) {
  const uint32_t n = image.RomStringLength(address);
  if (n != 0)
    out.append(reinterpret_cast<const char*>(image.Data() + (address - image.RomBase)), n);
}

void AppendRange(std::string& out, uint32_t first, uint32_t last) {
  AppendHex(out, first, 8);
  out.append(" .. ");
  AppendHex(out, last, 8);
}

// Replaces the four letters "CHRS" at `pos` by "-" where the bit is clear.
void ApplyLetterMarks(std::string& line, size_t pos, uint32_t attributes) {
  constexpr uint32_t kBits[] = {kAttrCompressed, kAttrHidden, kAttrRom, kAttrSystem};
  for (size_t i = 0; i < 4; ++i) {
    if ((attributes & kBits[i]) == 0) line[pos + i] = '-';
  }
}

void AppendEntryTime(std::string& out, const RecordView& e, uint32_t ft_field) {
  AppendFileTime(out, e.Get(ft_field), e.Get(ft_field + 4));
}

void WriteHeaderFields(const RecordView& hdr, LineList& log) {
  size_t label = 0;
  for (uint32_t field = 0; field < romhdr::kSize; field += 4) {
    if (field == romhdr::usCPUType) {
      log.push_back(kHeaderLabels[label++] + H8(LoadLe16(hdr.Bytes() + romhdr::usCPUType)));
      log.push_back(kHeaderLabels[label++] + H8(LoadLe16(hdr.Bytes() + romhdr::usMiscFlags)));
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
                          const RecordView& e, uint32_t name_field, size_t width) {
  static_assert(tocentry::ftTime == filesentry::ftTime);
  std::string line(1, kind);
  line.append("[CHRS");
  AppendExtra(line, attributes);
  line.append("]  ");
  const size_t name_at = line.size();
  AppendName(line, image, e.Get(name_field));
  PadRight(line, name_at + width);
  line.push_back('(');
  AppendEntryTime(line, e, filesentry::ftTime);
  return line;
}

void WriteModules(RomImage& image, uint32_t nummods, LineList& log) {
  for (uint32_t i = 0; i < image.ModuleCount; ++i) {
    const RecordView m = *ModuleEntry(image, i);
    const uint32_t attributes = m.Get(tocentry::dwFileAttributes);
    const uint32_t size = m.Get(tocentry::nFileSize);
    std::string line = EntryLineHead('M', attributes, image, m, tocentry::lpszFileName, 20);
    line.append(") Size= ");
    AppendHex(line, size, 8);
    line.append("  (");
    AppendDec(line, size);
    line.push_back(')');
    ApplyLetterMarks(line, 2, attributes);
    log.push_back(std::move(line));
    log.push_back(Detail("  E32  : ", OffsetOf(image, m.Get(tocentry::ulE32Offset))));
    log.push_back(Detail("  O32  : ", OffsetOf(image, m.Get(tocentry::ulO32Offset))));
    log.push_back(Detail("  Load : ", m.Get(tocentry::ulLoadOffset)));
  }
  if (image.ModuleCount < nummods) log.push_back(RestOfTable("Module", image.ModuleCount));
}

void WriteFiles(RomImage& image, uint32_t numfiles, LineList& log) {
  for (uint32_t i = 0; i < image.FileCount; ++i) {
    const RecordView f = *FileEntry(image, i);
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
    ApplyLetterMarks(line, 2, attributes);
    log.push_back(std::move(line));
    log.push_back(Detail(" von    ", OffsetOf(image, load)));
    log.push_back(Detail(" bis    ", OffsetOf(image, load + comp)));
    log.push_back(Detail(" name-> ", OffsetOf(image, f.Get(filesentry::lpszFileName))));
  }
  if (image.FileCount < numfiles) log.push_back(RestOfTable("Dateien", image.FileCount));
}

}  // namespace

bool MapLineLess(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(a[i]);
    auto cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca + 32);
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb + 32);
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

bool FixedBlockFollows(const LineList& map, int64_t index) {
  if (index < 0) index = 0;
  for (auto i = static_cast<size_t>(index); i < map.size(); ++i) {
    if (IsFixedBlockLine(map[i])) return true;
  }
  return false;
}

void WriteMemoryMap(RomImage& image, LineList& map) {
  map.clear();
  if (!image.RomHeaderInBuffer) return;

  // Every line begins with its start offset in 8 upper-case hexadecimal digits, so comparing
  // the numbers first gives the order of the texts; equal starts compare the whole text.
  struct Stretch {
    uint32_t start;
    uint32_t end;
    std::string text;
  };
  std::vector<Stretch> lines;
  lines.reserve(size_t{image.FileCount} * 2 + 1);
  const uint32_t block_end = image.RomHeaderOffset + romhdr::kSize +
                             tocentry::kSize * image.ModuleCount +
                             filesentry::kSize * image.FileCount - 1;
  std::string header;
  AppendRange(header, image.RomHeaderOffset, block_end);
  header.append(" -------- ROM Header");
  lines.push_back({image.RomHeaderOffset, block_end, std::move(header)});

  for (uint32_t i = 0; i < image.FileCount; ++i) {
    const RecordView f = *FileEntry(image, i);
    const uint32_t attributes = f.Get(filesentry::dwFileAttributes);
    const uint32_t comp = f.Get(filesentry::nCompFileSize);
    const uint32_t length = comp != 0 ? comp : f.Get(filesentry::nRealFileSize);
    const uint32_t start = OffsetOf(image, f.Get(filesentry::ulLoadOffset));
    const uint32_t name_address = f.Get(filesentry::lpszFileName);
    const uint32_t name_offset = OffsetOf(image, name_address);
    const uint32_t name_length = image.RomStringLength(name_address);

    std::string data;
    data.reserve(96);
    AppendRange(data, start, start + length - 1);
    data.append(" F[CHRS] ");
    AppendExtra(data, attributes);
    AppendDec(data, comp, 7);
    data.append("  ");
    AppendName(data, image, name_address);
    ApplyLetterMarks(data, 23, attributes);
    PadRight(data, 60);
    data.push_back('(');
    AppendEntryTime(data, f, filesentry::ftTime);
    data.append(") name @ ");
    AppendHex(data, name_offset, 8);
    lines.push_back({start, start + length - 1, std::move(data)});

    std::string name;
    name.reserve(40 + name_length);
    AppendRange(name, name_offset, name_offset + name_length);
    name.append(" namestr \"");
    AppendName(name, image, name_address);
    name.push_back('"');
    lines.push_back({name_offset, name_offset + name_length, std::move(name)});
  }
  std::stable_sort(lines.begin(), lines.end(), [](const Stretch& a, const Stretch& b) {
    return a.start != b.start ? a.start < b.start : MapLineLess(a.text, b.text);
  });

  // Gap pass: each line against the line directly before it in sort order. A gap line sorts
  // directly before the line that follows it, so it is written there.
  map.reserve(lines.size() * 2 + 2);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) {
      const uint32_t e = lines[i - 1].end;
      const uint32_t d = lines[i].start;
      const auto gap = static_cast<int32_t>(d - e - 1u);
      if (gap > 0) {
        std::string g;
        AppendRange(g, e + 1, d - 1);
        if (gap >= 4) {
          g.append(" -!----- ");
          AppendDec(g, static_cast<uint32_t>(gap), 7);
          g.append("  ---------------- ");
        } else {
          g.append(" .  ");
          AppendDec(g, static_cast<uint32_t>(gap));
          g.append("  ");
        }
        map.push_back(std::move(g));
      }
    }
    map.push_back(std::move(lines[i].text));
  }

  auto less = [](const std::string& a, const std::string& b) { return MapLineLess(a, b); };
  // Stretches that wrap around the 32-bit range can make a gap line sort elsewhere.
  if (!std::is_sorted(map.begin(), map.end(), less)) {
    std::stable_sort(map.begin(), map.end(), less);
  }
  auto insert_sorted = [&map, &less](std::string line) {
    map.insert(std::upper_bound(map.begin(), map.end(), line, less), std::move(line));
  };
  // An empty leading gap (the lowest stretch starts at 0) gets no line: it would offer an
  // empty block for deletion.
  const uint32_t d0 = *LineStart(map.front());
  if (d0 != 0) {
    std::string lead;
    AppendRange(lead, 0, d0 - 1);
    lead.append(" -!----- ");
    AppendDec(lead, d0);
    lead.append("  ---------------- ");
    insert_sorted(std::move(lead));
  }
  std::string tail;
  AppendRange(tail, *LineEnd(map.back()) + 1, static_cast<uint32_t>(image.BufferSize) - 1);
  tail.append(" -------- unallocated");
  insert_sorted(std::move(tail));
}

void AnalyseImage(RomImage& image, RomLists& lists) {
  LineList& log = lists.AnalysisLog;
  log.clear();
  log.push_back("; File: " + image.FileName);
  const auto length = static_cast<uint32_t>(image.ImageLength);
  log.push_back("; Size   = " + H8(length) + " (" + std::to_string(length) + ")");

  const auto loc = LocateRomHeader(image);
  if (!loc) {
    lists.MemoryMap.clear();
    return;
  }
  log.reserve(size_t{image.ModuleCount} * 4 + size_t{image.FileCount} * 4 + 40);
  log.push_back("; ECEC found @ " + H8(loc->signature_offset) + " Header (abs) @ " +
                H8(loc->header_address) + ", (in Img) @ " + H8(loc->header_offset));
  log.push_back(image.SecondPointerOffset != 0
                    ? "; zweiter Ptr zum RomHdr bei " + H8(image.SecondPointerOffset)
                    : std::string("; zweiter Ptr zum RomHdr FEHLT !!!"));
  log.push_back("; ============ RomHeader ===========");
  const auto hdr = RomHeaderView(image);
  if (!hdr) {
    log.push_back("; RomHeader @ " + H8(loc->header_offset) + " liegt" + kOutsideBuffer);
    lists.MemoryMap.clear();
    return;
  }
  WriteHeaderFields(*hdr, log);
  log.push_back("; =========================== Modules = " + std::to_string(loc->nummods));
  log.push_back("; [CHRS] = Compressed,Hidden,ROM,System");
  WriteModules(image, loc->nummods, log);
  log.push_back("; =========================== Files = " + std::to_string(loc->numfiles));
  WriteFiles(image, loc->numfiles, log);
  WriteMemoryMap(image, lists.MemoryMap);
}

}  // namespace rom
