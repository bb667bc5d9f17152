// Fixture for the editing tests: a small image with four files in front of the header, and a
// snapshot of every file's name and stored bytes to prove that nothing else was lost.
#ifndef TARNWICK_TESTS_ROM_EDIT_FIXTURE_H_
#define TARNWICK_TESTS_ROM_EDIT_FIXTURE_H_

#include <algorithm>
#include <map>
#include <memory>

#include "rom/rom_header.h"
#include "tests/rom/rom_fixture.h"

namespace testimg {

// Names at 0x1000, 0x1018, 0x1030, 0x104C, each directly in front of its data:
//   a.bin 16 bytes at 0x1008, b.bin 16 at 0x1020, c.bin 17 at 0x1038, d.bin 20 at 0x1054.
// The header follows at 0x1068 (84 + 4 * 28 bytes, to 0x112B); the image ends there.
inline ImageBuilder FourFiles() {
  ImageBuilder b(0x112C);
  b.HeaderOffset(0x1068).SecondPointer(0x80);
  b.AddFile(
      {.name = "a.bin", .name_offset = 0x1000, .data = Pattern(16, 0xA0), .data_offset = 0x1008});
  b.AddFile(
      {.name = "b.bin", .name_offset = 0x1018, .data = Pattern(16, 0xB0), .data_offset = 0x1020});
  b.AddFile(
      {.name = "c.bin", .name_offset = 0x1030, .data = Pattern(17, 0xC0), .data_offset = 0x1038});
  b.AddFile(
      {.name = "d.bin", .name_offset = 0x104C, .data = Pattern(20, 0xD0), .data_offset = 0x1054});
  return b;
}

class EditFixture : public RomFixture {
 protected:
  // The image in a buffer of its size and 64 KiB of fill: the code paths of a flash-sized
  // buffer, at a fraction of the copies that snapshots of the buffer make.
  void LoadSmall(const Bytes& bytes) {
    const size_t size = bytes.size() + (64u << 10);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    std::fill(buffer.get(), buffer.get() + size, uint8_t{0xFF});
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    image_.Adopt(std::move(buffer), static_cast<int32_t>(size), static_cast<int32_t>(bytes.size()));
    rom::AnalyseImage(image_, lists_);
  }
  // Name -> stored bytes of every file entry whose bytes lie in the buffer.
  std::map<std::string, Bytes> Contents() {
    std::map<std::string, Bytes> files;
    for (uint32_t i = 0; i < image_.FileCount(); ++i) {
      const rom::RecordView e = *rom::FileEntry(image_, i);
      const uint32_t at = rom::OffsetOf(image_, e.Get(rom::filesentry::ulLoadOffset));
      const uint32_t n = e.Get(rom::filesentry::nCompFileSize);
      if (!image_.Fits(at, n)) continue;
      files[image_.ReadRomString(e.Get(rom::filesentry::lpszFileName))] =
          Bytes(image_.Buffer().data() + at, image_.Buffer().data() + at + n);
    }
    return files;
  }
  uint32_t Field(uint32_t index, uint32_t field) {
    return rom::FileEntry(image_, index)->Get(field);
  }
  uint32_t HeaderDword(uint32_t field) { return rom::RomHeaderView(image_)->Get(field); }
  uint32_t Dword(uint32_t offset) { return *image_.Dword(offset); }
};

}  // namespace testimg

#endif  // TARNWICK_TESTS_ROM_EDIT_FIXTURE_H_
