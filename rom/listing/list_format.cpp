// Writing the columns of list lines.
#include "rom/listing/list_format.h"

#include "rom/rom_layout.h"
#include "rom/text_format.h"

namespace rom {

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
  for (size_t i = 0; i < kNamedAttributes.size(); ++i) {
    if ((attributes & kNamedAttributes[i]) == 0) line[column + i] = '-';
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

std::string BinLogLine(const BinLayout& layout) {
  return "; B000FF records: " + std::to_string(layout.records.size()) + ", start " +
         H8(layout.start) + ", launch " + H8(layout.launch);
}

std::string FoundHeaderLogLine(const FoundHeader& found) {
  return "; RomHdr gesucht: Image ab " + H8(found.image_start) + ", RomHdr (in Img) @ " +
         H8(found.header_offset) + ", RomBase " + H8(found.rom_base);
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
