// Tests of the record walk, its refusals, laying records into a buffer and the encoder.
#include "rom/bin_records.h"

#include <gtest/gtest.h>

#include "rom/bin_layout.h"
#include "rom/text_format.h"
#include "tests/image_builder/bin_file.h"
#include "tests/image_builder/image_builder.h"

namespace rom {
namespace {

using testimg::BinFile;
using testimg::Bytes;
using testimg::RecordCut;

constexpr uint32_t kStart = 0x80000000;
constexpr uint32_t kLaunch = 0x80001234;

std::vector<BinCut> ToCuts(const std::vector<RecordCut>& cuts) {
  std::vector<BinCut> out;
  for (const RecordCut& c : cuts) out.push_back({c.offset, c.length});
  return out;
}

TEST(ReadBinRecords, ReadsHeadRecordsAndLaunchAddress) {
  const Bytes file = {
      'B',  '0',  '0',  '0',  'F', 'F', '\n',  // sync line
      0x00, 0x10, 0x00, 0x80,                  // image start 80001000
      0x10, 0x00, 0x00, 0x00,                  // image length 16
      0x04, 0x10, 0x00, 0x80,                  // record 0 at file offset 15: address 80001004
      0x03, 0x00, 0x00, 0x00,                  //   3 bytes
      0x06, 0x00, 0x00, 0x00,                  //   checksum 1 + 2 + 3
      0x01, 0x02, 0x03,                        //   data
      0x00, 0x10, 0x00, 0x80,                  // record 1 at file offset 30: address 80001000
      0x02, 0x00, 0x00, 0x00,                  //   2 bytes
      0x01, 0x01, 0x00, 0x00,                  //   checksum FF + 02
      0xFF, 0x02,                              //   data
      0x00, 0x00, 0x00, 0x00,                  // end record: address 0
      0x34, 0x12, 0x00, 0x80,                  //   launch address 80001234
      0x00, 0x00, 0x00, 0x00,                  //   checksum 0
  };
  const BinReadResult r = ReadBinRecords(file);
  ASSERT_FALSE(r.error) << r.error->Message();
  EXPECT_EQ(r.layout, (BinLayout{.start = 0x80001000,
                                 .length = 16,
                                 .launch = kLaunch,
                                 .records = {{0x80001004, 3, 6, 15}, {0x80001000, 2, 0x101, 30}}}));
  Bytes flat(16, 0xEE);
  ASSERT_TRUE(LayBinRecords(r.layout, file, flat));
  EXPECT_EQ(flat, (Bytes{0xFF, 0x02, 0xEE, 0xEE, 1, 2, 3, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,
                         0xEE, 0xEE}));
  // An empty image with an empty record lays into an empty buffer.
  const Bytes empty = BinFile({}, 0x80001000, kLaunch, {{0, 0}});
  const BinReadResult e = ReadBinRecords(empty);
  ASSERT_FALSE(e.error);
  Bytes none;
  EXPECT_TRUE(LayBinRecords(e.layout, empty, none));
  // A buffer shorter than the image is refused, not overrun.
  Bytes short_buffer(6, 0);
  EXPECT_FALSE(LayBinRecords(r.layout, file, short_buffer));
  EXPECT_EQ(short_buffer, Bytes(6, 0));
}

// A file of three records over a 256-byte image; each test breaks one thing.
class BinRefusalTest : public ::testing::Test {
 protected:
  static constexpr uint64_t kRecord1 = 15 + 12 + 0x40;  // file offsets of the record heads
  static constexpr uint64_t kRecord2 = kRecord1 + 12 + 0x40;
  static constexpr uint64_t kEnd = kRecord2 + 12 + 0x80;

  BinError Refusal(const Bytes& file) {
    const BinReadResult r = ReadBinRecords(file);
    EXPECT_TRUE(r.error);
    return r.error.value_or(BinError{});
  }
  Bytes Prefix(uint64_t n) const { return Bytes(file_.begin(), file_.begin() + n); }

  const Bytes image_ = testimg::Pattern(0x100, 1);
  const Bytes file_ = BinFile(image_, kStart, kLaunch, {{0, 0x40}, {0x40, 0x40}, {0x80, 0x80}});
};

TEST_F(BinRefusalTest, HeadDefects) {
  EXPECT_EQ(Refusal({}).kind, BinErrorKind::kNoSyncLine);
  Bytes other_sync = file_;
  other_sync[6] = '\r';
  EXPECT_EQ(Refusal(other_sync).kind, BinErrorKind::kNoSyncLine);

  const BinError head = Refusal(Prefix(12));
  EXPECT_EQ(head.kind, BinErrorKind::kTruncatedHead);
  EXPECT_EQ(head.count, 12u);

  Bytes beyond = file_;
  testimg::StoreDword(beyond, binhead::ImageStart, 0xFFFFFF01);
  EXPECT_EQ(Refusal(beyond).kind, BinErrorKind::kBeyondAddressSpace);
}

TEST_F(BinRefusalTest, TruncatedRecordHeadOrData) {
  const BinError in_head = Refusal(Prefix(kRecord1 + 5));
  EXPECT_EQ(in_head.kind, BinErrorKind::kTruncatedRecord);
  EXPECT_EQ(in_head.record, 1u);
  EXPECT_EQ(in_head.file_offset, kRecord1);
  EXPECT_EQ(in_head.count, 5u);

  const BinError in_data = Refusal(Prefix(kRecord2 + 12 + 0x7F));
  EXPECT_EQ(in_data.kind, BinErrorKind::kTruncatedRecord);
  EXPECT_EQ(in_data.Message(),
            "record 2 at file offset 000000A7 is truncated: only 139 bytes are left for its "
            "12-byte head and 128 data bytes");
}

TEST_F(BinRefusalTest, ChecksumMismatchNamesRecordAndOffset) {
  Bytes damaged = file_;
  ++damaged[kRecord1 + 12 + 7];
  const BinError e = Refusal(damaged);
  EXPECT_EQ(e.kind, BinErrorKind::kChecksumMismatch);
  EXPECT_EQ(e.computed, e.stored + 1);
  EXPECT_EQ(e.Message(),
            "record 1 at file offset 0000005B (address 80000040, 64 bytes): checksum " +
                H8(e.stored) + " stored, " + H8(e.computed) + " computed");
}

TEST_F(BinRefusalTest, RecordOutsideTheImage) {
  Bytes below = file_;
  testimg::StoreDword(below, binhead::ImageStart, kStart + 4);  // record 0 starts before it
  const BinError e = Refusal(below);
  EXPECT_EQ(e.kind, BinErrorKind::kOutsideImage);
  EXPECT_EQ(e.record, 0u);

  Bytes past_end = file_;
  testimg::StoreDword(past_end, binhead::ImageLength, 0xFF);  // record 2 ends one byte behind
  const BinError p = Refusal(past_end);
  EXPECT_EQ(p.kind, BinErrorKind::kOutsideImage);
  EXPECT_EQ(p.record, 2u);
  EXPECT_EQ(p.Message(),
            "record 2 at file offset 000000A7 (address 80000080, 128 bytes) lies outside the "
            "image (start 80000000, length 255)");
}

TEST_F(BinRefusalTest, EndRecordMissingDamagedOrFollowed) {
  const BinError missing = Refusal(Prefix(kEnd));
  EXPECT_EQ(missing.kind, BinErrorKind::kMissingEndRecord);
  EXPECT_EQ(missing.record, 3u);
  EXPECT_EQ(missing.file_offset, kEnd);

  Bytes checksum = file_;
  checksum[kEnd + 8] = 1;
  EXPECT_EQ(Refusal(checksum).kind, BinErrorKind::kBadEndRecord);

  Bytes trailing = file_;
  trailing.push_back(0);
  const BinError after = Refusal(trailing);
  EXPECT_EQ(after.kind, BinErrorKind::kBytesAfterEnd);
  EXPECT_EQ(after.count, 1u);
}

TEST_F(BinRefusalTest, OverlapNamesBothRecordsInFileOrder) {
  // Record 1 lies inside record 0.
  const Bytes file = BinFile(image_, kStart, kLaunch, {{0, 0x80}, {0x10, 0x08}, {0x90, 0x10}});
  const BinError e = Refusal(file);
  EXPECT_EQ(e.kind, BinErrorKind::kOverlap);
  EXPECT_EQ(e.record, 0u);
  EXPECT_EQ(e.other_record, 1u);
  EXPECT_EQ(e.Message(),
            "records overlap: record 0 at file offset 0000000F (address 80000000, 128 bytes) and "
            "record 1 at file offset 0000009B (address 80000010, 8 bytes)");
  // Touching records and empty ones do not overlap.
  EXPECT_FALSE(
      ReadBinRecords(BinFile(image_, kStart, kLaunch, {{0, 0x80}, {0x80, 0}, {0x80, 1}})).error);
}

TEST_F(BinRefusalTest, TooManyRecords) {
  const std::vector<RecordCut> empty(kMaxBinRecords + 1, RecordCut{0x10, 0});
  const BinError e = Refusal(BinFile(image_, kStart, kLaunch, empty));
  EXPECT_EQ(e.kind, BinErrorKind::kTooManyRecords);
  EXPECT_EQ(e.record, kMaxBinRecords);
}

// A built image with its signature block, header, names and data, cut in the ways real files
// are: sparse, out of order, records of 1 to 3 bytes, the signature block in records of its
// own.
class BinRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testimg::ImageBuilder b(0x3000);
    b.Signature(0x40).HeaderOffset(0x2000).RomBase(kStart);
    b.AddFile({.name = "a.txt",
               .name_offset = 0x1000,
               .data = testimg::Pattern(0x101, 3),
               .data_offset = 0x1008});
    b.AddFile({.name = "b.dat",
               .name_offset = 0x1200,
               .data = testimg::Pattern(7, 9),
               .data_offset = 0x1300});
    image_ = b.Build();
  }
  Bytes image_;
  const std::vector<RecordCut> cuts_ = {
      {0x2000, 0x1000},                   // header block and tables, first in the file
      {0x40, 4},        {0x44, 4},        // "ECEC", header address
      {0x48, 4},                          // header offset
      {0x1000, 6},      {0x1008, 0x101},  // name, data (the 2 bytes between are not written)
      {0x1109, 1},      {0x110A, 3},      // tiny records
      {0x1300, 7},      {0x1200, 6},      // out of order
  };
};

TEST_F(BinRoundTripTest, FlatToRecordsToFlat) {
  const Bytes file = BinFile(image_, kStart, kLaunch, cuts_);
  const BinReadResult r = ReadBinRecords(file);
  ASSERT_FALSE(r.error) << r.error->Message();
  EXPECT_EQ(r.layout.records.size(), cuts_.size());
  EXPECT_EQ(CutsOf(r.layout), ToCuts(cuts_));

  Bytes flat(image_.size(), 0xA5);
  ASSERT_TRUE(LayBinRecords(r.layout, file, flat));
  Bytes expected(image_.size(), 0xA5);
  for (const RecordCut& c : cuts_) {
    std::copy_n(image_.begin() + c.offset, c.length, expected.begin() + c.offset);
  }
  EXPECT_EQ(flat, expected);

  // The encoder writes the same file as the independent builder.
  const BinEncodeResult e = EncodeBinRecords(image_, kStart, kLaunch, ToCuts(cuts_));
  ASSERT_FALSE(e.error) << e.error->Message();
  EXPECT_EQ(e.bytes, file);
}

TEST_F(BinRoundTripTest, RecordsToFlatToRecordsIsByteIdentical) {
  const Bytes file = BinFile(image_, kStart, kLaunch, cuts_);
  const BinReadResult r = ReadBinRecords(file);
  ASSERT_FALSE(r.error);
  Bytes flat(r.layout.length, 0xFF);
  ASSERT_TRUE(LayBinRecords(r.layout, file, flat));
  const BinEncodeResult again =
      EncodeBinRecords(flat, r.layout.start, r.layout.launch, CutsOf(r.layout));
  ASSERT_FALSE(again.error);
  EXPECT_EQ(again.bytes, file);
}

TEST(BinAddressSpace, ImageEndingAtTheTopOfTheRange) {
  constexpr uint32_t kTop = 0xFFFFF000;
  const Bytes image = testimg::Pattern(0x1000, 5);
  const std::vector<RecordCut> cuts = {{0xFFF, 1}, {0, 0x800}, {0x800, 0x7FF}};
  const Bytes file = BinFile(image, kTop, kTop, cuts);
  const BinReadResult r = ReadBinRecords(file);
  ASSERT_FALSE(r.error) << r.error->Message();
  EXPECT_EQ(r.layout.records[0].address, 0xFFFFFFFFu);
  Bytes flat(0x1000, 0);
  ASSERT_TRUE(LayBinRecords(r.layout, file, flat));
  EXPECT_EQ(flat, image);
  const BinEncodeResult again = EncodeBinRecords(flat, kTop, kTop, CutsOf(r.layout));
  ASSERT_FALSE(again.error);
  EXPECT_EQ(again.bytes, file);

  // An empty cut behind the last byte would be a record at address 0 (the end marker), and
  // one byte more of image would pass the end of the range.
  const std::vector<BinCut> behind = {{0x1000, 0}};
  EXPECT_EQ(EncodeBinRecords(image, kTop, kTop, behind).error->kind,
            BinEncodeErrorKind::kAddressZero);
  const Bytes longer(0x1001, 0);
  EXPECT_EQ(EncodeBinRecords(longer, kTop, kTop, {}).error->kind,
            BinEncodeErrorKind::kBeyondAddressSpace);
}

TEST(EncodeBinRecords, RefusesWhatTheReaderWouldRefuse) {
  const Bytes image = testimg::Pattern(0x100, 7);
  const std::vector<BinCut> overlap = {{0x00, 0x40}, {0x80, 0x10}, {0x3C, 0x10}};
  const BinEncodeResult o = EncodeBinRecords(image, kStart, 0, overlap);
  ASSERT_TRUE(o.error);
  EXPECT_EQ(o.error->kind, BinEncodeErrorKind::kCutsOverlap);
  EXPECT_EQ(o.error->cut, 2u);
  EXPECT_EQ(o.error->other_cut, 0u);
  EXPECT_TRUE(o.bytes.empty());

  const std::vector<BinCut> outside = {{0xF0, 0x11}};
  EXPECT_EQ(EncodeBinRecords(image, kStart, 0, outside).error->kind,
            BinEncodeErrorKind::kCutOutsideImage);
  const std::vector<BinCut> at_zero = {{0, 4}};
  const BinEncodeResult z = EncodeBinRecords(image, 0, 0, at_zero);
  ASSERT_TRUE(z.error);
  EXPECT_EQ(z.error->Message(),
            "stretch 00000000 .. 00000003 (4 bytes) would be a record at address 0, which a "
            "B000FF file cannot hold");
}

}  // namespace
}  // namespace rom
