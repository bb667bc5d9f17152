// The image save.
#include "rom/image_save.h"

#include "rom/edit_steps.h"

namespace rom {

std::optional<std::string> SaveImage(RomImage& image, const std::string& path) {
  if (!image.HasData()) return std::string("Es ist kein Image geladen.");
  RefreshSecondPointer(image);
  const auto bytes = *image.Bytes(0, static_cast<uint64_t>(image.ImageLength()));
  if (auto e = fileio::WriteFileAtomically(path, bytes)) return e->Message();
  return std::nullopt;
}

}  // namespace rom
