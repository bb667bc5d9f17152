// Choosing the loader and finding the header of a wrapped image.
#include "rom/image_open.h"

#include <cstring>
#include <utility>

#include "rom/bin_image.h"
#include "rom/header_search.h"
#include "rom/rom_header.h"

namespace rom {

namespace {

// Looks for the real header when the usual rule's header is not plausible, and makes the
// buffer hold the image from its first byte.
void FindWrappedHeader(RomImage& image, uint8_t fill) {
  const auto loc = LocateRomHeader(image);
  if (!loc) return;
  const auto found = SearchWrappedHeader(image.Buffer(), static_cast<uint32_t>(image.ImageLength()),
                                         loc->signature_offset);
  if (!found) return;
  const uint32_t start = found->image_start;
  if (start != 0) {
    const std::span<uint8_t> buffer = image.MutableBuffer();
    image.MutableSource().wrapper.assign(buffer.begin(), buffer.begin() + start);
    std::memmove(buffer.data(), buffer.data() + start, buffer.size() - start);
    std::memset(buffer.data() + buffer.size() - start, fill, start);
    image.SetImageLength(int64_t{image.ImageLength()} - start);
  }
  image.MutableSource().wrapper_bytes = start;
  // When the signature block holds the header's offset in the image, the usual rule finds it
  // now; otherwise the found offset stands in for it.
  const auto again = LocateRomHeader(image);
  if (!again || again->header_offset != found->header_offset) {
    image.MutableSource().header_offset = found->header_offset;
  }
}

}  // namespace

Result<LoadedImage> OpenImage(RomImage& image, const std::string& path, FlashChoice flash,
                              uint8_t fill) {
  if (BeginsWithBinSync(path)) {
    Result<LoadedImage> r = LoadBinImage(image, path, flash, fill);
    // The image keeps the records for a later save; the result need not.
    if (r) image.MutableSource().records = std::exchange(r->records, std::nullopt);
    return r;
  }
  Result<LoadedImage> r = LoadImage(image, path, flash, fill);
  if (r) FindWrappedHeader(image, fill);
  image.ResetLocation();
  return r;
}

}  // namespace rom
