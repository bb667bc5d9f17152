// Writing an entry's attribute word and real size.
#include "rom/entry_edit.h"

#include <string>

#include "rom/rom_header.h"
#include "rom/text_format.h"

namespace rom {

namespace {

constexpr int64_t kMaxField = 0xFFFFFFFF;

Error BadValue(std::string message) {
  return Error{.kind = ErrorKind::kBadFieldValue,
               .reason = std::move(message) + "; der Eintrag bleibt unverändert"};
}

}  // namespace

Result<uint32_t> ReadAttributeWord(std::string_view text) {
  std::string word(text);
  if (word.empty() || word[0] != '$') word.insert(0, "$");
  // Read in 64 bits, so that a wider value is seen as too large rather than cut.
  const auto v = ParseFieldNumber(word, 64);
  if (!v || *v < 0 || *v > kMaxField) {
    return BadValue("Atts \"" + std::string(text) +
                    "\" ist kein Attributwort von $00000000 bis $FFFFFFFF");
  }
  return static_cast<uint32_t>(*v);
}

Result<EntryValues> ReadEntryValues(std::string_view att_text, std::string_view real_text) {
  const auto real = ParseFieldNumber(real_text, 64);
  if (!real || *real < 0 || *real > kMaxField) {
    return BadValue("RealSize \"" + std::string(real_text) +
                    "\" ist keine Zahl von 0 bis 4294967295");
  }
  const Result<uint32_t> word = ReadAttributeWord(att_text);
  if (!word) return word.error();
  return EntryValues{*word, static_cast<uint32_t>(*real)};
}

Result<Done> SetEntry(RomImage& image, uint32_t entry, uint32_t attributes, uint32_t real_size) {
  if (!image.TablesListedWhole()) return Error{.kind = ErrorKind::kTablesNotListed};
  const auto e = FileEntry(image, entry);
  if (!e) return Error{.kind = ErrorKind::kNoEntry, .first = entry};
  e->Set(filesentry::dwFileAttributes, attributes);
  e->Set(filesentry::nRealFileSize, real_size);
  image.MarkEdited();
  return Done{};
}

}  // namespace rom
