// Writing an entry's attribute word and real size.
#include "rom/entry_edit.h"

#include "rom/rom_header.h"

namespace rom {

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
