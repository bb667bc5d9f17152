// make_fuzz_seeds DIR: writes seed inputs for the fuzz targets from the project's builders into
// DIR/image, DIR/module, DIR/registry and DIR/codec.
#include <cstdio>
#include <filesystem>
#include <string>

#include "compress/rom_codec.h"
#include "tests/hivelore/hive_builder.h"
#include "tests/hivelore/registry_builder.h"
#include "tests/image_builder/bin_file.h"
#include "tests/image_builder/demo_image.h"
#include "tests/image_builder/rom_compressor.h"
#include "tests/rom/module_fixture.h"

namespace {

void Write(const std::filesystem::path& p, const testimg::Bytes& b) {
  testimg::WriteFile(p.string(), b);
}

// Image seeds carry three leading control bytes (flash, preset, line picks).
testimg::Bytes WithControls(uint8_t flags, uint8_t a, uint8_t b, const testimg::Bytes& image) {
  testimg::Bytes out = {flags, a, b};
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  for (const char* sub : {"image", "module", "registry", "codec"})
    std::filesystem::create_directories(dir / sub);

  // Compressed entries in either coding, so that the decompressed export is exercised.
  const testimg::Bytes demo = testimg::DemoImage(testimg::RomCompressor(codec::PageCoding::kLzx));
  Write(dir / "image" / "demo", WithControls(0, 3, 7, demo));
  Write(dir / "image" / "demo_ff", WithControls(3, 20, 1, demo));
  Write(
      dir / "image" / "demo_lz77",
      WithControls(0, 5, 9, testimg::DemoImage(testimg::RomCompressor(codec::PageCoding::kLz77))));
  testimg::ImageBuilder small(0x400);
  small.Signature(0x10).HeaderOffset(0x300);
  small.AddFile(
      {.name = "a", .name_offset = 0x100, .data = testimg::Pattern(16, 1), .data_offset = 0x104});
  small.AddFile(
      {.name = "b", .name_offset = 0x120, .data = testimg::Pattern(9, 2), .data_offset = 0x124});
  Write(dir / "image" / "small", WithControls(0, 1, 2, small.Build()));
  // The small image as a record file: out of order, with a gap and the signature block apart.
  const testimg::Bytes small_image = small.Build();
  Write(dir / "image" / "small_records",
        WithControls(2, 4, 5,
                     testimg::BinFile(small_image, 0x80000000, 0x80000000,
                                      {{0x300, 0x100}, {0x10, 4}, {0x14, 8}, {0x100, 0x30}})));

  // Module seeds: every kind of section, in both e32_rom layouts.
  Write(dir / "module" / "app", testimg::ModuleImage({testimg::AppModule(true)}));
  Write(dir / "module" / "app_old", testimg::ModuleImage({testimg::AppModule(false)}));

  testreg::RegistryBuilder reg;
  reg.Key(2, "Software\\Demo")
      .Value(1, "", testreg::StringData("C:\\Temp"))
      .Value(4, "n", {1, 0, 0, 0});
  reg.Value(3, "b", testreg::Bytes(30, 7)).Value(7, "m", testreg::Units({'a', 0, 'b', 0, 0}));
  reg.Value(21, "u", testreg::StringData("x")).Key(9, "odd");
  Write(dir / "registry" / "demo", reg.bytes());
  testreg::RegistryBuilder old;
  old.OldKey(2, "Drivers\\BuiltIn").Value(4, "Index", {1, 0, 0, 0}).Key(0, ".txt");
  Write(dir / "registry" / "older_keys", old.bytes());

  testhive::HiveBuilder hive;
  const uint32_t init = hive.RootKey(2, "init");
  hive.Value(init, 1, "Launch10", testhive::HiveString("shell.exe"));
  hive.Value(init, 3, "b", testreg::Bytes(30, 7));
  hive.Value(init, 7, "m", {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
  const uint32_t sub = hive.Key(init, "Sub");
  hive.Value(sub, 4, "n", {1, 0, 0, 0});
  hive.Value(sub, 21, "u", testhive::HiveString("a.dll,#1"));
  hive.RootKey(0, ".txt");
  hive.Key(hive.RootKey(1, "ControlPanel"), "Owner");
  Write(dir / "registry" / "hive", hive.Build());

  // Streams of both codings: text over two pages, and x86-like code with E8 bytes.
  std::string text;
  for (int i = 0; text.size() < 6000; ++i) text += "the quick brown fox " + std::to_string(i % 97);
  testimg::Bytes code;
  for (uint32_t i = 0; code.size() < 3000; ++i) {
    code.insert(code.end(), {0xE8, static_cast<uint8_t>(i * 37), 0x10, 0, 0, 0x8B, 0x45, 0xF8});
  }
  for (const auto& [name, content] :
       {std::pair{"text", testimg::BytesOf(text)}, std::pair{"code", code}}) {
    for (codec::PageCoding c : {codec::PageCoding::kLzx, codec::PageCoding::kLz77}) {
      testimg::Bytes packed(content.size() * 2 + 1024);
      packed.resize(codec::CompressRomStream(c, content, packed));
      Write(dir / "codec" / (std::string(name) + (c == codec::PageCoding::kLzx ? ".lzx" : ".lz77")),
            packed);
    }
  }
  Write(dir / "codec" / "plain", testimg::Pattern(9000, 5));
  return 0;
}
