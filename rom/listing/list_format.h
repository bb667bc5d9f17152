// The two lists' line format: the columns and kind markers, and the writers of each line.
//
// The analysis log and the memory map are text (Windows-1252 bytes) that users save and
// scripts read, so their columns are a format. The lists are written here and nowhere read
// back: a row keeps what its line says as fields (analysis.h). A script reads a line's kind
// from its kind column only, never by searching the text: a file name can hold any marker.
//
// Memory-map line:  SSSSSSSS .. EEEEEEEE KIND...
//   columns 0-7 the first offset, 12-19 the last offset (inclusive), both 8 upper-case
//   hexadecimal digits; column 20 a blank; the kind field begins at column 21:
//     "F[CHRS] "  file data        "namestr "  file name       "-!----- "  fixed block
//     ".  "       small gap        "-------- ROM Header"       "-------- unallocated"
// Analysis log: columns 0-1 are "M[" on a module line and "F[" on a file line; the attribute
//   letters C, H, R, S stand in columns 2-5 (23-26 on a memory-map file line).
#ifndef TARNWICK_ROM_LISTING_LIST_FORMAT_H_
#define TARNWICK_ROM_LISTING_LIST_FORMAT_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "rom/bin_records.h"
#include "rom/header_search.h"

namespace rom {

inline constexpr size_t kLogLetterColumn = 2;  // "CHRS" of a log entry line

// Writers. Each appends to `out`.
// "SSSSSSSS .. EEEEEEEE"
void AppendMapRange(std::string& out, uint32_t first, uint32_t last);
// The kind field of a file data line: " F[CHRS] ", the letters of clear bits as "-", then
// "+" and the other attribute bits when there are any.
void AppendFileKind(std::string& out, uint32_t attributes);
// "+" and the attribute bits other than C, H, R, S (at least 3 hexadecimal digits), when any.
void AppendExtraBits(std::string& out, uint32_t attributes);
// Replaces the four letters "CHRS" at `column` by "-" where the bit is clear.
void ApplyLetterMarks(std::string& line, size_t column, uint32_t attributes);

// Whole lines of the memory map that carry no entry.
[[nodiscard]] std::string HeaderBlockLine(uint32_t first, uint32_t last);
[[nodiscard]] std::string GapLine(uint32_t first, uint32_t last, uint32_t size);
[[nodiscard]] std::string LeadingGapLine(uint32_t size);
[[nodiscard]] std::string UnallocatedLine(uint32_t first, uint32_t last);

// Lines of the analysis log about where the image came from.
// "; B000FF records: N, start XXXXXXXX, launch XXXXXXXX": N data records (the end record is
// not counted), the image's start and launch addresses.
[[nodiscard]] std::string BinLogLine(const BinLayout& layout);
// "; RomHdr gesucht: Image ab XXXXXXXX, RomHdr (in Img) @ XXXXXXXX, RomBase XXXXXXXX", for a
// header found by the search.
[[nodiscard]] std::string FoundHeaderLogLine(const FoundHeader& found);

// Order of the memory map: byte by byte after mapping A-Z to a-z.
[[nodiscard]] bool MapLineLess(std::string_view a, std::string_view b);

}  // namespace rom

#endif  // TARNWICK_ROM_LISTING_LIST_FORMAT_H_
