// AnalyseImage: the analysis log and the memory map with its gap pass.
#include "rom/analysis.h"

#include <algorithm>
#include <iterator>
#include <optional>

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
constexpr const char* kOutsideBuffer = " au\xDF" "erhalb des Puffers";

// "+" and the attribute bits other than C, H, R, S, when there are any.
std::string Extra(uint32_t attributes) {
  const uint32_t rest = attributes & ~kAttrNamedMask;
  return rest == 0 ? std::string() : "+" + Hex(rest, 3);
}

// Replaces the four letters "CHRS" at `pos` by "-" where the bit is clear.
void ApplyLetterMarks(std::string& line, size_t pos, uint32_t attributes) {
  constexpr uint32_t kBits[] = {kAttrCompressed, kAttrHidden, kAttrRom, kAttrSystem};
  for (size_t i = 0; i < 4; ++i) {
    if ((attributes & kBits[i]) == 0) line[pos + i] = '-';
  }
}

std::string EntryTime(const RecordView& e, uint32_t ft_field) {
  return FormatFileTime(e.Get(ft_field), e.Get(ft_field + 4));
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

void WriteModules(RomImage& image, uint32_t nummods, LineList& log) {
  for (uint32_t i = 0; i < image.ModuleCount; ++i) {
    const RecordView m = *ModuleEntry(image, i);
    const uint32_t attributes = m.Get(tocentry::dwFileAttributes);
    const uint32_t size = m.Get(tocentry::nFileSize);
    std::string line = "M[CHRS" + Extra(attributes) + "]  " +
                       image.ReadRomString(m.Get(tocentry::lpszFileName));
    PadRight(line, 9 + Extra(attributes).size() + 20);
    line += "(" + EntryTime(m, tocentry::ftTime) + ") Size= " + H8(size) + "  (" +
            std::to_string(size) + ")";
    ApplyLetterMarks(line, 2, attributes);
    log.push_back(std::move(line));
    log.push_back("  E32  : " + H8(OffsetOf(image, m.Get(tocentry::ulE32Offset))));
    log.push_back("  O32  : " + H8(OffsetOf(image, m.Get(tocentry::ulO32Offset))));
    log.push_back("  Load : " + H8(m.Get(tocentry::ulLoadOffset)));
  }
  if (image.ModuleCount < nummods) {
    log.push_back("; Module ab Nr. " + std::to_string(image.ModuleCount) + " liegen" +
                  kOutsideBuffer);
  }
}

void WriteFiles(RomImage& image, uint32_t numfiles, LineList& log) {
  for (uint32_t i = 0; i < image.FileCount; ++i) {
    const RecordView f = *FileEntry(image, i);
    const uint32_t attributes = f.Get(filesentry::dwFileAttributes);
    const uint32_t comp = f.Get(filesentry::nCompFileSize);
    const uint32_t load = f.Get(filesentry::ulLoadOffset);
    std::string line = "F[CHRS" + Extra(attributes) + "]  " +
                       image.ReadRomString(f.Get(filesentry::lpszFileName));
    PadRight(line, 9 + Extra(attributes).size() + 24);
    line += "(" + EntryTime(f, filesentry::ftTime) + ")  Len " +
            std::to_string(f.Get(filesentry::nRealFileSize));
    PadRight(line, 43);
    if (attributes & kAttrCompressed) line += " compr: " + std::to_string(comp);
    ApplyLetterMarks(line, 2, attributes);
    log.push_back(std::move(line));
    log.push_back(" von    " + H8(OffsetOf(image, load)));
    log.push_back(" bis    " + H8(OffsetOf(image, load + comp)));
    log.push_back(" name-> " + H8(OffsetOf(image, f.Get(filesentry::lpszFileName))));
  }
  if (image.FileCount < numfiles) {
    log.push_back("; Dateien ab Nr. " + std::to_string(image.FileCount) + " liegen" +
                  kOutsideBuffer);
  }
}

std::string Range(uint32_t first, uint32_t last) { return H8(first) + " .. " + H8(last); }

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

  LineList lines;
  lines.reserve(size_t{image.FileCount} * 2 + 1);
  const uint32_t block_end = image.RomHeaderOffset + romhdr::kSize +
                             tocentry::kSize * image.ModuleCount +
                             filesentry::kSize * image.FileCount - 1;
  lines.push_back(Range(image.RomHeaderOffset, block_end) + " -------- ROM Header");

  for (uint32_t i = 0; i < image.FileCount; ++i) {
    const RecordView f = *FileEntry(image, i);
    const uint32_t attributes = f.Get(filesentry::dwFileAttributes);
    const uint32_t comp = f.Get(filesentry::nCompFileSize);
    const uint32_t length = comp != 0 ? comp : f.Get(filesentry::nRealFileSize);
    const uint32_t start = OffsetOf(image, f.Get(filesentry::ulLoadOffset));
    const uint32_t name_address = f.Get(filesentry::lpszFileName);
    const uint32_t name_offset = OffsetOf(image, name_address);
    const std::string name = image.ReadRomString(name_address);

    std::string data = Range(start, start + length - 1) + " F[CHRS] " + Extra(attributes) +
                       DecPad(comp, 7) + "  " + name;
    ApplyLetterMarks(data, 23, attributes);
    PadRight(data, 60);
    data += "(" + EntryTime(f, filesentry::ftTime) + ") name @ " + H8(name_offset);
    lines.push_back(std::move(data));

    lines.push_back(Range(name_offset, name_offset + static_cast<uint32_t>(name.size())) +
                    " namestr \"" + name + "\"");
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const std::string& a, const std::string& b) { return MapLineLess(a, b); });

  // Gap pass: each line against the line directly before it in sort order. A gap line sorts
  // directly before the line that follows it, so it is written there.
  map.reserve(lines.size() * 2 + 2);
  std::optional<uint32_t> prev_end = LineEnd(lines[0]);
  map.push_back(std::move(lines[0]));
  for (size_t i = 1; i < lines.size(); ++i) {
    const auto d = LineStart(lines[i]);
    if (!d || !prev_end) {
      map.insert(map.end(), std::make_move_iterator(lines.begin() + static_cast<std::ptrdiff_t>(i)),
                 std::make_move_iterator(lines.end()));
      std::stable_sort(map.begin(), map.end(), [](const std::string& a, const std::string& b) {
        return MapLineLess(a, b);
      });
      return;
    }
    const uint32_t e = *prev_end;
    const auto gap = static_cast<int32_t>(*d - e - 1u);
    if (gap >= 4) {
      map.push_back(Range(e + 1, *d - 1) + " -!----- " + DecPad(static_cast<uint32_t>(gap), 7) +
                    "  ---------------- ");
    } else if (gap > 0) {
      map.push_back(Range(e + 1, *d - 1) + " .  " + std::to_string(gap) + "  ");
    }
    prev_end = LineEnd(lines[i]);
    map.push_back(std::move(lines[i]));
  }

  auto insert_sorted = [&map](std::string line) {
    const auto at = std::upper_bound(
        map.begin(), map.end(), line,
        [](const std::string& a, const std::string& b) { return MapLineLess(a, b); });
    map.insert(at, std::move(line));
  };
  // Stretches that wrap around the 32-bit range can make a gap line sort elsewhere.
  if (!std::is_sorted(map.begin(), map.end(), [](const std::string& a, const std::string& b) {
        return MapLineLess(a, b);
      })) {
    std::stable_sort(map.begin(), map.end(), [](const std::string& a, const std::string& b) {
      return MapLineLess(a, b);
    });
  }

  // An empty leading gap (the lowest stretch starts at 0) gets no line: it would offer an
  // empty block for deletion.
  const uint32_t d0 = *LineStart(map.front());
  if (d0 != 0) {
    insert_sorted(Range(0, d0 - 1) + " -!----- " + std::to_string(d0) + "  ---------------- ");
  }
  const uint32_t last_end = *LineEnd(map.back());
  insert_sorted(Range(last_end + 1, static_cast<uint32_t>(image.BufferSize) - 1) +
                " -------- unallocated");
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
