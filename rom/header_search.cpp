// The plausibility test of a ROM header and the search for the header of a wrapped image.
#include "rom/header_search.h"

#include <algorithm>

#include "bytes/byte_order.h"
#include "rom/rom_layout.h"

namespace rom {

namespace {

// The signature's usual position in a Windows CE image.
constexpr uint32_t kSignatureInImage = 0x40;

}  // namespace

bool HeaderIsPlausible(std::span<const uint8_t> buffer, uint32_t image_start, uint32_t header_pos,
                       uint32_t rom_base, uint64_t* budget) {
  const uint64_t size = buffer.size();
  if (image_start > size || header_pos < image_start || header_pos > size ||
      romhdr::kSize > size - header_pos) {
    return false;
  }
  const uint8_t* hdr = buffer.data() + header_pos;
  const uint32_t own_address = rom_base + (header_pos - image_start);
  if (!(bytes::LoadLe32(hdr + romhdr::physfirst) <= own_address &&
        own_address < bytes::LoadLe32(hdr + romhdr::physlast))) {
    return false;
  }
  const uint32_t mods = bytes::LoadLe32(hdr + romhdr::nummods);
  const uint32_t files = bytes::LoadLe32(hdr + romhdr::numfiles);
  if (mods > kMaxTableEntries || files > kMaxTableEntries) return false;
  const uint64_t module_table = ModuleTableAt(header_pos);
  const uint64_t file_table = FileTableAt(header_pos, mods);
  if (TablesEnd(header_pos, mods, files) > size) return false;

  if (budget != nullptr) {
    if (*budget < uint64_t{mods} + files) {
      *budget = 0;
      return false;
    }
    *budget -= uint64_t{mods} + files;
  }
  // A name address is inside when it maps to a position from image_start to the buffer's end.
  const uint64_t room = size - image_start;
  auto name_inside = [&](uint64_t entry, uint32_t name_field) {
    const uint32_t rel = bytes::LoadLe32(buffer.data() + entry + name_field) - rom_base;
    return rel < room;
  };
  for (uint32_t i = 0; i < mods; ++i) {
    if (!name_inside(module_table + uint64_t{i} * tocentry::kSize, tocentry::lpszFileName)) {
      return false;
    }
  }
  for (uint32_t i = 0; i < files; ++i) {
    if (!name_inside(file_table + uint64_t{i} * filesentry::kSize, filesentry::lpszFileName)) {
      return false;
    }
  }
  return true;
}

std::optional<FoundHeader> SearchWrappedHeader(std::span<const uint8_t> buffer,
                                               uint32_t image_length, uint32_t signature_offset) {
  const uint64_t size = buffer.size();
  const uint32_t g = signature_offset;
  if (g > size || kSignatureBlockSize > size - g) return std::nullopt;
  const uint32_t a = bytes::LoadLe32(buffer.data() + g + kSigHeaderAddress);
  const uint32_t o = bytes::LoadLe32(buffer.data() + g + kSigHeaderOffset);
  if (HeaderIsPlausible(buffer, 0, o, a - o)) return std::nullopt;
  if (g < kSignatureInImage) return std::nullopt;

  const uint32_t s = g - kSignatureInImage;
  const uint64_t limit = std::min<uint64_t>(image_length, size);
  uint64_t budget = kMaxSearchEntries;
  // Candidates whose 84 header bytes end within the image: H + 84 <= limit.
  for (uint64_t h = s; h + romhdr::kSize <= limit; h += 4) {
    const auto offset = static_cast<uint32_t>(h - s);
    const uint32_t base = a - offset;
    if (bytes::LoadLe32(buffer.data() + h + romhdr::physfirst) != base) continue;
    if (HeaderIsPlausible(buffer, s, static_cast<uint32_t>(h), base, &budget)) {
      return FoundHeader{s, offset, base};
    }
    if (budget == 0) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace rom
