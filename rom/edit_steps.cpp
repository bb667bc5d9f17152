// Relocation of entries and header pointers, and the buffer moves.
#include "rom/edit_steps.h"

#include <cstring>

#include "rom/rom_header.h"

namespace rom {

uint32_t RelocateFileEntries(RomImage& image, const Move& move, std::optional<uint32_t> skip) {
  uint32_t count = 0;
  // Only fields that point into the buffer move with its bytes; an address below RomBase or
  // past the buffer names nothing that moves.
  auto moves = [&](uint32_t offset) {
    return offset >= move.from && offset < static_cast<uint32_t>(image.BufferSize());
  };
  const auto shift = static_cast<uint32_t>(move.shift);
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    if (skip == i) continue;
    const RecordView e = *FileEntry(image, i);
    for (uint32_t field : {filesentry::ulLoadOffset, filesentry::lpszFileName}) {
      const uint32_t offset = OffsetOf(image, e.Get(field));
      if (!moves(offset)) continue;
      e.Set(field, offset + shift + image.RomBase());
      ++count;
    }
  }
  return count;
}

void RefreshSecondPointer(RomImage& image) {
  if (image.SecondPointerOffset() == 0) return;
  if (const auto v = image.Dword(image.HeaderPointerOffset())) {
    image.SetDword(image.SecondPointerOffset(), *v);
  }
}

bool PhysLastIsImageEnd(const RomImage& image) {
  const auto hdr = RomHeaderView(image);
  return hdr && hdr->Get(romhdr::physlast) ==
                    image.RomBase() + static_cast<uint32_t>(image.ImageLength());
}

void FollowImageEnd(RomImage& image, bool follows) {
  const auto hdr = RomHeaderView(image);
  if (!follows || !hdr) return;
  hdr->Set(romhdr::physlast, image.RomBase() + static_cast<uint32_t>(image.ImageLength()));
}

std::optional<Error> CheckRamStart(const RomImage& image, int64_t new_length) {
  const auto hdr = RomHeaderView(image);
  if (!hdr || new_length <= image.ImageLength()) return std::nullopt;
  const uint32_t ram_start = hdr->Get(romhdr::ulRAMStart);
  // RAM Start as an offset from the image's first byte; one below RomBase wraps far above any
  // length a buffer allows.
  const uint32_t ram_offset = ram_start - image.RomBase();
  if (ram_offset < static_cast<uint32_t>(image.ImageLength())) return std::nullopt;
  if (static_cast<uint64_t>(new_length) <= ram_offset) return std::nullopt;
  return Error{.kind = ErrorKind::kPastRamStart,
               .first = ram_start,
               .last = image.RomBase() + static_cast<uint32_t>(new_length) - 1u};
}

void MoveHeaderPointers(RomImage& image, const Move& move) {
  if (image.SignatureOffset() < 0 || image.RomHeaderOffset() < move.from) return;
  const auto s = static_cast<uint32_t>(image.SignatureOffset());
  const auto delta = static_cast<uint32_t>(move.shift);
  // Where the header was found by the search, the signature block never held its offset: the
  // found offset moves instead, and the dword there stays as it was.
  std::optional<uint32_t>& found = image.MutableSource().header_offset;
  if (found) *found += delta;
  for (uint32_t field : {kSigHeaderOffset, kSigHeaderAddress}) {
    if (found && field == kSigHeaderOffset) continue;
    if (const auto v = image.Dword(uint64_t{s} + field)) {
      image.SetDword(uint64_t{s} + field, *v + delta);
    }
  }
  RefreshSecondPointer(image);
}

void CloseGap(RomImage& image, uint32_t start, uint32_t n, uint8_t fill) {
  const auto size = static_cast<uint64_t>(image.BufferSize());
  if (start >= size) return;
  const std::span<uint8_t> buffer = image.MutableBuffer();
  if (n >= size - start) {
    std::memset(buffer.data() + start, fill, size - start);
    return;
  }
  std::memmove(buffer.data() + start, buffer.data() + start + n, size - start - n);
  std::memset(buffer.data() + size - n, fill, n);
}

void OpenGap(RomImage& image, uint32_t start, uint32_t n) {
  const auto size = static_cast<uint64_t>(image.BufferSize());
  if (start >= size || n >= size - start) return;
  const std::span<uint8_t> buffer = image.MutableBuffer();
  std::memmove(buffer.data() + start + n, buffer.data() + start, size - start - n);
}

}  // namespace rom
