// Test fixture that loads built image bytes into a RomImage through a temporary file.
#ifndef TARNWICK_TESTS_ROM_ROM_FIXTURE_H_
#define TARNWICK_TESTS_ROM_ROM_FIXTURE_H_

#include <gtest/gtest.h>

#include "rom/listing/analysis.h"
#include "rom/rom_image.h"
#include "tests/image_builder/image_builder.h"
#include "tests/rom/list_texts.h"
#include "tests/rom/test_files.h"

namespace testimg {

class RomFixture : public ::testing::Test {
 protected:
  // Loads `bytes` as "t.nb0" and runs the analysis.
  void Load(const Bytes& bytes, rom::FlashChoice flash = rom::FlashChoice::k32MB,
            uint8_t fill = 0) {
    WriteFile(dir_.File("t.nb0"), bytes);
    const auto r = rom::LoadImage(image_, dir_.File("t.nb0"), flash, fill);
    ASSERT_TRUE(r.ok()) << r.error().Message();
    rom::AnalyseImage(image_, lists_);
  }
  // The first `n` bytes of the buffer.
  [[nodiscard]] Bytes Head(size_t n) const {
    return Bytes(image_.Buffer().data(), image_.Buffer().data() + n);
  }
  // The entry of memory-map row `index` (which must exist).
  [[nodiscard]] uint32_t MapEntry(int64_t index) const { return *lists_.MapRowAt(index)->entry; }
  // Index of the first memory-map line that begins with `prefix`; -1 when none does.
  [[nodiscard]] int MapIndex(const std::string& prefix) const {
    for (size_t i = 0; i < lists_.MemoryMap.size(); ++i) {
      if (lists_.MemoryMap[i].text.rfind(prefix, 0) == 0) return static_cast<int>(i);
    }
    return -1;
  }

  TempDir dir_;
  rom::RomImage image_;
  rom::RomLists lists_;
};

}  // namespace testimg

#endif  // TARNWICK_TESTS_ROM_ROM_FIXTURE_H_
