// Writing and reading the columns of list lines.
#include "rom/list_format.h"

#include "rom/rom_layout.h"
#include "rom/text_format.h"

namespace rom {

MapLineKind MapKindOf(std::string_view line) {
  if (line.size() <= kMapKindColumn || line[kMapKindColumn - 1] != ' ') return MapLineKind::kOther;
  const std::string_view kind = line.substr(kMapKindColumn);
  if (kind.starts_with("F[")) return MapLineKind::kFileData;
  if (kind.starts_with("namestr ")) return MapLineKind::kFileName;
  if (kind.starts_with("-!-")) return MapLineKind::kFixedBlock;
  if (kind.starts_with(".  ")) return MapLineKind::kSmallGap;
  if (kind == "-------- ROM Header") return MapLineKind::kHeader;
  if (kind == "-------- unallocated") return MapLineKind::kUnallocated;
  return MapLineKind::kOther;
}

LogLineKind LogKindOf(std::string_view line) {
  if (line.starts_with("M[")) return LogLineKind::kModule;
  if (line.starts_with("F[")) return LogLineKind::kFile;
  return LogLineKind::kOther;
}

std::optional<uint32_t> LineStart(std::string_view line) { return HexField(line, kMapStartColumn); }

std::optional<uint32_t> LineEnd(std::string_view line) { return HexField(line, kMapEndColumn); }

void AppendMapRange(std::string& out, uint32_t first, uint32_t last) {
  AppendHex(out, first, 8);
  out.append(" .. ");
  AppendHex(out, last, 8);
}

void AppendExtraBits(std::string& out, uint32_t attributes) {
  const uint32_t rest = attributes & ~kAttrNamedMask;
  if (rest == 0) return;
  out.push_back('+');
  AppendHex(out, rest, 3);
}

void ApplyLetterMarks(std::string& line, size_t column, uint32_t attributes) {
  constexpr uint32_t kBits[] = {kAttrCompressed, kAttrHidden, kAttrRom, kAttrSystem};
  for (size_t i = 0; i < 4; ++i) {
    if ((attributes & kBits[i]) == 0) line[column + i] = '-';
  }
}

void AppendFileKind(std::string& out, uint32_t attributes) {
  const size_t letters = out.size() + 3;
  out.append(" F[CHRS] ");
  ApplyLetterMarks(out, letters, attributes);
  AppendExtraBits(out, attributes);
}

std::string HeaderBlockLine(uint32_t first, uint32_t last) {
  std::string line;
  AppendMapRange(line, first, last);
  line.append(" -------- ROM Header");
  return line;
}

std::string GapLine(uint32_t first, uint32_t last, uint32_t size) {
  std::string line;
  AppendMapRange(line, first, last);
  if (size >= 4) {
    line.append(" -!----- ");
    AppendDec(line, size, 7);
    line.append("  ---------------- ");
  } else {
    line.append(" .  ");
    AppendDec(line, size);
    line.append("  ");
  }
  return line;
}

std::string LeadingGapLine(uint32_t size) {
  std::string line;
  AppendMapRange(line, 0, size - 1);
  line.append(" -!----- ");
  AppendDec(line, size);
  line.append("  ---------------- ");
  return line;
}

std::string UnallocatedLine(uint32_t first, uint32_t last) {
  std::string line;
  AppendMapRange(line, first, last);
  line.append(" -------- unallocated");
  return line;
}

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

}  // namespace rom
