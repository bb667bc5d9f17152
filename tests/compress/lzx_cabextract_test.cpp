// An independent check of the LZX coding: one page's LZX bit stream, wrapped in a minimal
// cabinet file (one folder, LZX with a 64 KiB window, one data block), must come out of
// Debian's cabextract (libmspack) as the original page. Pages without E8 bytes, since a
// cabinet translates E8 calls only when its stream header asks for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "compress/page_framing.h"
#include "compress/rom_codec.h"
#include "tests/compress/codec_test_data.h"
#include "tests/image_builder/image_builder.h"
#include "tests/rom/test_files.h"

namespace codec {
namespace {

using codectest::Bytes;

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v);
  Put16(b, v >> 16);
}

// CFHEADER, one CFFOLDER, one CFFILE named "page.bin" and one CFDATA block.
Bytes Cabinet(const Bytes& lzx, uint32_t size) {
  const std::string name = "page.bin";
  const uint32_t files_at = 36 + 8;
  const uint32_t data_at = files_at + 16 + static_cast<uint32_t>(name.size()) + 1;
  const uint32_t total = data_at + 8 + static_cast<uint32_t>(lzx.size());
  Bytes c = {'M', 'S', 'C', 'F'};
  Put32(c, 0);
  Put32(c, total);
  Put32(c, 0);
  Put32(c, files_at);
  Put32(c, 0);
  c.push_back(3);  // version 1.3
  c.push_back(1);
  Put16(c, 1);  // folders
  Put16(c, 1);  // files
  Put16(c, 0);  // flags
  Put16(c, 0);  // set id
  Put16(c, 0);  // cabinet number
  Put32(c, data_at);
  Put16(c, 1);                // data blocks
  Put16(c, 16u << 8 | 0x03);  // LZX, window of 2^16 bytes: 32 position slots
  Put32(c, size);
  Put32(c, 0);       // offset in the folder
  Put16(c, 0);       // folder
  Put16(c, 0x5A21);  // date
  Put16(c, 0);       // time
  Put16(c, 0x20);    // attributes
  c.insert(c.end(), name.begin(), name.end());
  c.push_back(0);
  Put32(c, 0);  // no checksum
  Put16(c, static_cast<uint32_t>(lzx.size()));
  Put16(c, size);
  c.insert(c.end(), lzx.begin(), lzx.end());
  return c;
}

TEST(LzxCabextract, DecodesTheLzxStreamOfOnePage) {
  if (std::system("command -v cabextract > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "cabextract is not installed (Debian package cabextract)";
  }
  Bytes records = codectest::Records(kPageSize, 3);
  std::replace(records.begin(), records.end(), uint8_t{0xE8}, uint8_t{0xE9});
  const std::pair<const char*, Bytes> pages[] = {
      {"text", codectest::Text(kPageSize, 2)},
      {"records", records},
      {"two-byte repeats at R0, R1 and R2", codectest::CyclingPairs(kPageSize, 4)}};
  std::vector<uint32_t> types;
  for (const auto& [kind, page] : pages) {
    ASSERT_EQ(std::count(page.begin(), page.end(), 0xE8), 0);
    Bytes stream(2 * kPageSize);
    const uint32_t n = CompressRomStream(PageCoding::kLzx, page, stream);
    ASSERT_NE(n, kCodecFailure);
    // Total and one End entry, then the record: its header and signature, then LZX.
    const Bytes lzx(stream.begin() + 6 + 20, stream.begin() + n);
    types.push_back(lzx[1] >> 4 & 7);  // behind the E8 bit of the first word's high byte
    testimg::TempDir dir;
    testimg::WriteFile(dir.File("page.cab"), Cabinet(lzx, kPageSize));
    const std::string command = "cabextract -q -d " + dir.File("out") + " " + dir.File("page.cab");
    ASSERT_EQ(std::system(command.c_str()), 0) << kind;
    EXPECT_EQ(testimg::ReadFile(dir.File("out/page.bin")), page) << kind;
  }
  ASSERT_EQ(types.size(), 3u);
  EXPECT_EQ(types[0], 1u);  // a verbatim block
  EXPECT_EQ(types[1], 2u);  // an aligned-offset block
}

}  // namespace
}  // namespace codec
