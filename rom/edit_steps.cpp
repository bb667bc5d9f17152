// Relocation of entries and header pointers, and the buffer moves.
#include "rom/edit_steps.h"

#include <cstring>

#include "rom/rom_header.h"
#include "rom/text_format.h"

namespace rom {

int32_t FileDataOffset(RomImage& image, uint32_t index) {
  return static_cast<int32_t>(FileEntry(image, index)->Get(filesentry::ulLoadOffset) -
                              image.RomBase);
}

int32_t FileNameOffset(RomImage& image, uint32_t index) {
  return static_cast<int32_t>(FileEntry(image, index)->Get(filesentry::lpszFileName) -
                              image.RomBase);
}

uint32_t RelocateFileEntries(RomImage& image, uint32_t threshold, int32_t shift) {
  uint32_t count = 0;
  auto moves = [threshold](int32_t offset) {
    return offset >= 0 && static_cast<uint32_t>(offset) > threshold;
  };
  for (uint32_t i = 0; i < image.FileCount; ++i) {
    const RecordView e = *FileEntry(image, i);
    const int32_t data = FileDataOffset(image, i);
    if (moves(data)) {
      e.Set(filesentry::ulLoadOffset,
            static_cast<uint32_t>(data) + static_cast<uint32_t>(shift) + image.RomBase);
      ++count;
    }
    const int32_t name = FileNameOffset(image, i);
    if (moves(name)) {
      e.Set(filesentry::lpszFileName,
            static_cast<uint32_t>(name) + static_cast<uint32_t>(shift) + image.RomBase);
      ++count;
    }
  }
  return count;
}

void RefreshSecondPointer(RomImage& image) {
  if (image.SecondPointerOffset == 0) return;
  if (const auto v = image.Dword(image.HeaderPointerOffset)) {
    image.SetDword(image.SecondPointerOffset, *v);
  }
}

void MoveHeaderPointers(RomImage& image, uint32_t threshold, int32_t shift) {
  if (image.SignatureOffset < 0 || image.RomHeaderOffset <= threshold) return;
  const auto s = static_cast<uint32_t>(image.SignatureOffset);
  const auto delta = static_cast<uint32_t>(shift);
  for (uint32_t field : {kSigHeaderOffset, kSigHeaderAddress}) {
    if (const auto v = image.Dword(uint64_t{s} + field))
      image.SetDword(uint64_t{s} + field, *v + delta);
  }
  RefreshSecondPointer(image);
}

void CloseGap(RomImage& image, uint32_t start, uint32_t n, uint8_t fill) {
  const auto size = static_cast<uint64_t>(image.BufferSize);
  if (start >= size) return;
  uint8_t* data = image.Data();
  if (n >= size - start) {
    std::memset(data + start, fill, size - start);
    return;
  }
  std::memmove(data + start, data + start + n, size - start - n);
  std::memset(data + size - n, fill, n);
}

void OpenGap(RomImage& image, uint32_t start, uint32_t n) {
  const auto size = static_cast<uint64_t>(image.BufferSize);
  if (start >= size || n >= size - start) return;
  uint8_t* data = image.Data();
  std::memmove(data + start + n, data + start, size - start - n);
}

int64_t ReanalyseKeepingSelection(RomImage& image, RomLists& lists, int64_t selected) {
  AnalyseImage(image, lists);
  return selected >= 0 && static_cast<uint64_t>(selected) < lists.MemoryMap.size() ? selected : -1;
}

std::string DeletionStatus(uint32_t delta, uint32_t count, uint32_t rom_base) {
  return "Delta= " + Hex(delta, 1) + " ge\xE4nderte Direntries= " + std::to_string(count) +
         " Base= " + H8(rom_base);
}

}  // namespace rom
