// Tests of the buffer rules, the load sequence and the checked readers.
#include "rom/rom_image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"

namespace rom {
namespace {

using testimg::Bytes;

TEST(FlashBufferSize, FollowsTheFlashChoice) {
  EXPECT_EQ(FlashBufferSize(FlashChoice::k32MB, 0), k32MiB);
  EXPECT_EQ(FlashBufferSize(FlashChoice::kNone, 1000), k32MiB);
  EXPECT_EQ(FlashBufferSize(FlashChoice::k32MB, k32MiB), k32MiB);
  EXPECT_EQ(FlashBufferSize(FlashChoice::k32MB, k32MiB + 1), k32MiB + 1);
  EXPECT_EQ(FlashBufferSize(FlashChoice::k64MB, 1000), k64MiB);
  // A file larger than 64 MiB gets a buffer of its own size, as under "32 MB".
  EXPECT_EQ(FlashBufferSize(FlashChoice::k64MB, int64_t{k64MiB} + 5), int64_t{k64MiB} + 5);
}

TEST(FlashSizeText, DropsTheRemainderOfTheMegabytes) {
  EXPECT_EQ(FlashSizeText(40000000), "max. FlashSize: 40000000 ( 38 MB )");
  EXPECT_EQ(FlashSizeText(k32MiB + 1), "max. FlashSize: 33554433 ( 32 MB )");
}

TEST(AlignUp4, RoundsUpAndWraps) {
  EXPECT_EQ(AlignUp4(0), 0u);
  EXPECT_EQ(AlignUp4(1), 4u);
  EXPECT_EQ(AlignUp4(4), 4u);
  EXPECT_EQ(AlignUp4(5), 8u);
  EXPECT_EQ(AlignUp4(0xFFFFFFFD), 0u);
  EXPECT_EQ(AlignUp4(0xFFFFFFFC), 0xFFFFFFFCu);
}

TEST(LoadImage, FillsTheRestOfTheBufferWithThePreset) {
  testimg::TempDir dir;
  const Bytes content = testimg::Pattern(1000, 3);
  testimg::WriteFile(dir.File("a.nb0"), content);
  RomImage image;
  const auto r = LoadImage(image, dir.File("a.nb0"), FlashChoice::k64MB, 0xFF);
  ASSERT_TRUE(r.ok()) << r.error().Message();
  EXPECT_EQ(FlashSizeText(r->buffer_size), "max. FlashSize: 67108864 ( 64 MB )");
  EXPECT_FALSE(r->records);
  EXPECT_EQ(image.BufferSize(), k64MiB);
  EXPECT_EQ(image.ImageLength(), 1000);
  EXPECT_EQ(image.FileName(), dir.File("a.nb0"));
  EXPECT_TRUE(std::equal(content.begin(), content.end(), image.Buffer().data()));
  const uint8_t* rest = image.Buffer().data() + 1000;
  const uint8_t* end = image.Buffer().data() + k64MiB;
  EXPECT_TRUE(std::all_of(rest, end, [](uint8_t b) { return b == 0xFF; }));
}

TEST(LoadImage, EmptyFileAndFileOfExactlyTheFlashSize) {
  testimg::TempDir dir;
  testimg::WriteFile(dir.File("empty.nb0"), {});
  RomImage image;
  auto r = LoadImage(image, dir.File("empty.nb0"), FlashChoice::k32MB, 0);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(FlashSizeText(r->buffer_size), "max. FlashSize: 33554432 ( 32 MB )");
  EXPECT_EQ(image.ImageLength(), 0);

  Bytes full(k32MiB + 1, 0x5A);
  testimg::WriteFile(dir.File("full.nb0"), full);
  r = LoadImage(image, dir.File("full.nb0"), FlashChoice::k32MB, 0xFF);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(image.BufferSize(), k32MiB + 1);
  EXPECT_EQ(FlashSizeText(r->buffer_size), "max. FlashSize: 33554433 ( 32 MB )");
  EXPECT_EQ(image.Buffer().data()[k32MiB], 0x5A);
}

TEST(LoadImage, FailedLoadLeavesNoImage) {
  testimg::TempDir dir;
  testimg::WriteFile(dir.File("a.nb0"), testimg::Pattern(64, 0));
  RomImage image;
  ASSERT_TRUE(LoadImage(image, dir.File("a.nb0"), FlashChoice::k32MB, 0).ok());
  RomLocation found;  // as if an earlier analysis had found something
  found.SignatureOffset = 4;
  image.SetLocation(found);

  const auto r = LoadImage(image, dir.File("missing.nb0"), FlashChoice::k32MB, 0);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().kind, ErrorKind::kFile);
  EXPECT_NE(r.error().Message().find("missing.nb0"), std::string::npos);
  EXPECT_FALSE(r.error().buffer_size);  // the size was never decided
  EXPECT_FALSE(image.HasData());
  EXPECT_TRUE(image.FileName().empty());
  EXPECT_EQ(image.ImageLength(), 0);
  EXPECT_EQ(image.SignatureOffset(), -1);

  EXPECT_FALSE(LoadImage(image, dir.path().string(), FlashChoice::k32MB, 0).ok());
}

TEST(LoadImage, RefusesWhatIsNotARegularFileWithoutReadingIt) {
  testimg::TempDir dir;
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  RomImage image;
  // Opening a FIFO for reading would wait for a writer; the load refuses it at once.
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    const auto r = LoadImage(image, path, FlashChoice::k32MB, 0);
    ASSERT_FALSE(r.ok()) << path;
    EXPECT_EQ(r.error().Message(), path + ": not a regular file");
  }
}

class LoadedImage : public ::testing::Test {
 protected:
  void Load(const Bytes& bytes, FlashChoice flash = FlashChoice::k32MB) {
    testimg::WriteFile(dir_.File("t.nb0"), bytes);
    ASSERT_TRUE(LoadImage(image_, dir_.File("t.nb0"), flash, 0).ok());
  }
  void SetRomBase(uint32_t base) {
    RomLocation where;
    where.RomBase = base;
    image_.SetLocation(where);
  }
  testimg::TempDir dir_;
  RomImage image_;
};

TEST_F(LoadedImage, ReadersNeverLeaveTheBuffer) {
  Bytes bytes(k32MiB, 'x');
  bytes[k32MiB - 4] = 1;
  Load(bytes);
  EXPECT_EQ(image_.Dword(k32MiB - 4), 0x78787801u);
  EXPECT_FALSE(image_.DwordBE(k32MiB - 3));
  EXPECT_FALSE(image_.Bytes(k32MiB - 3, 4));
  EXPECT_FALSE(image_.Bytes(1, 0xFFFFFFFFFFFFFFFFull));
  EXPECT_EQ(image_.Bytes(k32MiB, 0)->size(), 0u);
  EXPECT_FALSE(image_.Dword(k32MiB - 2));
  EXPECT_FALSE(image_.Dword(0xFFFFFFFFFFFFFFFFull));
  EXPECT_FALSE(image_.SetDword(k32MiB - 1, 0));

  // A name without its 0 byte ends at the buffer's end.
  SetRomBase(0x80000000);
  EXPECT_EQ(image_.ReadRomString(0x80000000 + k32MiB - 5), std::string("x\x01xxx", 5));
  EXPECT_EQ(image_.ReadRomString(0x80000000 + k32MiB), "");
  EXPECT_EQ(image_.ReadRomString(0x7FFFFFFF), "");
}

TEST_F(LoadedImage, ReadRomStringAppliesTheAddressRule) {
  Bytes bytes(64, 0);
  const std::string name = "A\xE4z";
  std::copy(name.begin(), name.end(), bytes.begin() + 40);
  Load(bytes);
  SetRomBase(0xFFFFFFF0);  // address 0x18 wraps to offset 0x28
  EXPECT_EQ(image_.ReadRomString(0x18), name);
  EXPECT_EQ(image_.RomStringLength(0x18), 3u);
  EXPECT_EQ(image_.ReadRomString(0x17), "");  // first byte 0
  SetRomBase(0);
  EXPECT_EQ(image_.ReadRomString(0x28), name);
  // The big-endian reader sees the bytes in their order.
  EXPECT_EQ(image_.DwordBE(40), 0x41E47A00u);
}

}  // namespace
}  // namespace rom
