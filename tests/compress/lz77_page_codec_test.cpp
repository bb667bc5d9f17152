// Tests of the older page coding's decoder on hand-built records: each token form, and one
// named defect per rejected record.
#include "compress/lz77_page_codec.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/compress/codec_test_data.h"

namespace codec {
namespace {

using codectest::Bytes;

std::optional<std::string> Decode(const Bytes& record, size_t page_size) {
  const codectest::Exact src(record);
  std::string page(page_size, '\0');
  if (!DecodeLz77Page(src.span(), std::span(reinterpret_cast<uint8_t*>(page.data()), page_size))) {
    return std::nullopt;
  }
  return page;
}

// Literals, then a 2-byte token, a short token and a 3-byte token that copies 17 bytes.
const Bytes kRecord = {
    0x00, 'S',  'O',  'F', 'T', 'x', 'y', 'z', 'w',  // flag: 8 literals
    0x00, 'a',  'b',  'c', 'd', 'e', 'f', 'g', 'h',  // flag: 8 literals
    0x07,                                            // flag: items 0, 1, 2 are tokens
    0x32, 0x00,                                      // 3 bytes from position 3: "Txy"
    0xB1,                                            // short: 2 bytes from 13 back: "zw"
    0x00, 0x00, 0x00,                                // 17 bytes from position 0
};
const std::string kText = "SOFTxyzwabcdefgh" + std::string("Txy") + "zw" + "SOFTxyzwabcdefghT";

TEST(Lz77PageDecoder, DecodesEachTokenForm) {
  EXPECT_EQ(Decode(kRecord, kText.size()), kText);
  // A copy that overlaps its own output repeats (the platform's encoder never writes one).
  EXPECT_EQ(Decode(Bytes{0x02, 'a', 0x04, 0x00}, 6), "aaaaaa");
}

TEST(Lz77PageDecoder, RejectsEachDefect) {
  const size_t n = kText.size();
  EXPECT_FALSE(Decode(Bytes(kRecord.begin(), kRecord.end() - 1), n)) << "in a 3-byte token";
  EXPECT_FALSE(Decode(Bytes(kRecord.begin(), kRecord.begin() + 20), n)) << "in a 2-byte token";
  EXPECT_FALSE(Decode(Bytes(kRecord.begin(), kRecord.begin() + 18), n)) << "no flag byte";
  Bytes left = kRecord;
  left.push_back(0);
  EXPECT_FALSE(Decode(left, n)) << "a byte left over";
  EXPECT_FALSE(Decode(kRecord, n + 1)) << "page not complete";
  EXPECT_FALSE(Decode(kRecord, n - 1)) << "copy past the page end";
  Bytes at_cur = kRecord;
  at_cur[19] = 0x02;  // position 16: the first byte not yet written
  at_cur[20] = 0x01;
  EXPECT_FALSE(Decode(at_cur, n)) << "source at the output's end";
  EXPECT_FALSE(Decode(Bytes{0x02, 'a', 0x01}, 3)) << "short token before the page start";
}

}  // namespace
}  // namespace codec
