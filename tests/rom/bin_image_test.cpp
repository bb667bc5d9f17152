// Tests of loading record files into the image buffer.
#include "rom/bin_image.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "rom/bin_layout.h"
#include "rom/listing/list_format.h"
#include "tests/image_builder/bin_file.h"
#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"

namespace rom {
namespace {

using testimg::BinFile;
using testimg::Bytes;
using testimg::RecordCut;

constexpr uint32_t kStart = 0x80000000;
constexpr uint32_t kLaunch = 0x80001234;

// Why a load refused the records; nullopt when it did not.
std::optional<BinError> Refused(const Result<LoadedImage>& r) {
  return r ? std::nullopt : r.error().records;
}

class BinLoadTest : public ::testing::Test {
 protected:
  Result<LoadedImage> LoadBytes(const Bytes& file, FlashChoice flash = FlashChoice::k32MB,
                                uint8_t fill = 0) {
    testimg::WriteFile(dir_.File("nk.bin"), file);
    return LoadBinImage(image_, dir_.File("nk.bin"), flash, fill);
  }
  [[nodiscard]] Bytes Buffer() const {
    return Bytes(image_.Buffer().data(), image_.Buffer().data() + image_.BufferSize());
  }

  testimg::TempDir dir_;
  RomImage image_;
};

TEST_F(BinLoadTest, BufferRulesFillAndLogLine) {
  const Bytes image = testimg::Pattern(0x1000, 3);
  const std::vector<RecordCut> cuts = {{0x800, 0x100}, {0x10, 0x20}, {0xFFC, 4}};
  const Result<LoadedImage> r =
      LoadBytes(BinFile(image, kStart, kLaunch, cuts), FlashChoice::k64MB, 0xFF);
  ASSERT_TRUE(r.ok()) << r.error().Message();
  EXPECT_FALSE(Refused(r));
  EXPECT_EQ(FlashSizeText(r->buffer_size), "max. FlashSize: 67108864 ( 64 MB )");
  EXPECT_EQ(BinLogLine(*r->records), "; B000FF records: 3, start 80000000, launch 80001234");
  EXPECT_EQ(image_.FileName(), dir_.File("nk.bin"));
  EXPECT_EQ(image_.BufferSize(), k64MiB);
  EXPECT_EQ(image_.ImageLength(), 0x1000);
  Bytes expected(0x1000, 0xFF);
  for (const RecordCut& c : cuts) {
    std::copy_n(image.begin() + c.offset, c.length, expected.begin() + c.offset);
  }
  EXPECT_EQ(Bytes(image_.Buffer().data(), image_.Buffer().data() + 0x1000), expected);
  EXPECT_TRUE(std::all_of(image_.Buffer().data() + 0x1000, image_.Buffer().data() + k64MiB,
                          [](uint8_t b) { return b == 0xFF; }));

  // An image longer than 32 MiB gets a buffer of its own length, the records' file stays small.
  const Bytes big(k32MiB + 1, 0x5A);
  const Result<LoadedImage> b = LoadBytes(BinFile(big, kStart, kLaunch, {{k32MiB, 1}}));
  ASSERT_TRUE(b.ok()) << b.error().Message();
  EXPECT_EQ(FlashSizeText(b->buffer_size), "max. FlashSize: 33554433 ( 32 MB )");
  EXPECT_EQ(image_.BufferSize(), k32MiB + 1);
  EXPECT_EQ(image_.Buffer().data()[k32MiB], 0x5A);
  EXPECT_EQ(image_.Buffer().data()[k32MiB - 1], 0x00);
}

// The file is streamed through a staging buffer, with long records read straight into the
// image: records of every size around those boundaries must come out as the reader in memory
// lays them, and a defect anywhere must be found the same way.
TEST_F(BinLoadTest, StreamedLoadMatchesTheReaderInMemory) {
  const Bytes image = testimg::Pattern(0x300000, 11);
  std::vector<RecordCut> cuts;
  const uint32_t sizes[] = {1, 3, 12, 4096, 131071, 131072, 131073, 600000, 2, 262144, 9};
  uint32_t at = 0x100;
  for (int round = 0; round < 2; ++round) {
    for (const uint32_t size : sizes) {
      cuts.push_back({at, size});
      at += size + (size % 3);  // some touch, some leave a gap
    }
  }
  std::swap(cuts[3], cuts[12]);  // out of order
  const Bytes file = BinFile(image, kStart, kLaunch, cuts);

  const BinReadResult in_memory = ReadBinRecords(file);
  ASSERT_FALSE(in_memory.error);
  Bytes expected(k32MiB, 0xC3);
  ASSERT_TRUE(LayBinRecords(in_memory.layout, file, expected));
  const Result<LoadedImage> r = LoadBytes(file, FlashChoice::k32MB, 0xC3);
  ASSERT_TRUE(r.ok()) << r.error().Message();
  EXPECT_EQ(r->records, in_memory.layout);
  EXPECT_TRUE(Buffer() == expected);

  // A damaged byte in the long record, in a short one, and a file cut short in a long one.
  const uint64_t long_data = in_memory.layout.records[7].file_offset + binrecord::kSize;
  const uint64_t short_data = in_memory.layout.records[14].file_offset + binrecord::kSize;
  for (const uint64_t at_byte : {long_data + 599999, long_data + 140000, short_data}) {
    Bytes damaged = file;
    damaged[at_byte] ^= 1;
    const Result<LoadedImage> d = LoadBytes(damaged);
    ASSERT_TRUE(Refused(d));
    EXPECT_EQ(Refused(d)->kind, BinErrorKind::kChecksumMismatch);
    EXPECT_EQ(Refused(d)->Message(), ReadBinRecords(damaged).error->Message());
  }
  const Bytes cut_short(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(long_data + 9));
  const Result<LoadedImage> t = LoadBytes(cut_short);
  ASSERT_TRUE(Refused(t));
  EXPECT_EQ(Refused(t)->Message(), ReadBinRecords(cut_short).error->Message());
}

TEST_F(BinLoadTest, RefusalLeavesNoImage) {
  const Bytes image = testimg::Pattern(0x200, 1);
  const Bytes good = BinFile(image, kStart, kLaunch, {{0, 0x100}, {0x100, 0x100}});
  ASSERT_TRUE(LoadBytes(good).ok());
  RomLocation found;  // as if an analysis had found something
  found.SignatureOffset = 4;
  image_.SetLocation(found);

  Bytes damaged = good;
  damaged[15 + 12 + 0x100 + 12 + 5] ^= 0x40;
  const Result<LoadedImage> r = LoadBytes(damaged);
  ASSERT_FALSE(r.ok());
  ASSERT_TRUE(Refused(r));
  EXPECT_EQ(Refused(r)->kind, BinErrorKind::kChecksumMismatch);
  // The buffer's size was decided before the records were read: the window still shows it.
  EXPECT_EQ(r.error().buffer_size, k32MiB);
  EXPECT_EQ(
      r.error().Message().rfind(dir_.File("nk.bin") + ": record 1 at file offset 0000011B", 0), 0u)
      << r.error().Message();
  EXPECT_FALSE(image_.HasData());
  EXPECT_EQ(image_.ImageLength(), 0);
  EXPECT_EQ(image_.BufferSize(), 0);
  EXPECT_TRUE(image_.FileName().empty());
  EXPECT_EQ(image_.SignatureOffset(), -1);
}

TEST_F(BinLoadTest, ImageTooLargeAndFilesThatAreNoRecordFiles) {
  Bytes head = testimg::BytesOf("B000FF\n");
  head.resize(15 + 12, 0);
  testimg::StoreDword(head, binhead::ImageStart, kStart);
  testimg::StoreDword(head, binhead::ImageLength, static_cast<uint32_t>(kMaxBufferSize) + 1);
  const Result<LoadedImage> big = LoadBytes(head);
  ASSERT_TRUE(Refused(big));
  EXPECT_EQ(Refused(big)->kind, BinErrorKind::kImageTooLarge);
  EXPECT_FALSE(image_.HasData());

  const Result<LoadedImage> flat = LoadBytes(testimg::Pattern(64, 0));
  ASSERT_TRUE(Refused(flat));
  EXPECT_EQ(Refused(flat)->kind, BinErrorKind::kNoSyncLine);
  EXPECT_FALSE(BeginsWithBinSync(dir_.File("nk.bin")));

  // A folder is refused by the file layer before anything is read.
  const Result<LoadedImage> folder =
      LoadBinImage(image_, dir_.path().string(), FlashChoice::k32MB, 0);
  EXPECT_FALSE(folder.ok());
  EXPECT_FALSE(Refused(folder));
  EXPECT_FALSE(BeginsWithBinSync(dir_.path().string()));

  testimg::WriteFile(dir_.File("sync.bin"), testimg::BytesOf("B000FF\n"));
  EXPECT_TRUE(BeginsWithBinSync(dir_.File("sync.bin")));
}

}  // namespace
}  // namespace rom
