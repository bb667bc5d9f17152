// Editing a file entry's attribute word and real size in place.
#ifndef TARNWICK_ROM_ENTRY_EDIT_H_
#define TARNWICK_ROM_ENTRY_EDIT_H_

#include <cstdint>
#include <string_view>

#include "rom/result.h"
#include "rom/rom_image.h"

namespace rom {

// The two values of an entry edit, as numbers.
struct EntryValues {
  uint32_t attributes = 0;  // dwFileAttributes
  uint32_t real_size = 0;   // nRealFileSize
};

// Reads the attribute word as the field "Atts" holds it: "$" and hexadecimal digits (either
// case; the "$" is put in front when the text does not start with it), a value from $00000000 to
// $FFFFFFFF (more digits are taken when they are leading zeros). Anything else, a sign included,
// is refused (kBadFieldValue) with a message that names the field and the text.
[[nodiscard]] Result<uint32_t> ReadAttributeWord(std::string_view text);

// Reads the texts of "Atts" (as ReadAttributeWord) and "RealSize": the real size in decimal, or
// hexadecimal after "$" or "0x", optionally after blanks and a "+", from 0 to 4294967295. A text
// that is not such a number (letters, a minus sign, a value past 32 bits) is refused
// (kBadFieldValue); RealSize is checked first.
[[nodiscard]] Result<EntryValues> ReadEntryValues(std::string_view att_text,
                                                  std::string_view real_text);

// Writes dwFileAttributes and nRealFileSize of file entry `entry`; nothing else of the entry
// changes and nothing moves. Refused when the entry does not exist or the tables are not
// listed whole.
[[nodiscard]] Result<Done> SetEntry(RomImage& image, uint32_t entry, uint32_t attributes,
                                    uint32_t real_size);

}  // namespace rom

#endif  // TARNWICK_ROM_ENTRY_EDIT_H_
