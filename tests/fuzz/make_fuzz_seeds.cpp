// make_fuzz_seeds DIR: writes seed inputs for the fuzz targets from the project's builders into
// DIR/image, DIR/module, DIR/registry, DIR/regtext and DIR/codec.
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
  for (const char* sub : {"image", "module", "registry", "regtext", "codec"})
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
  Write(dir / "module" / "app", testimg::ModuleImage({testimg::AppModule()}));
  Write(dir / "module" / "app_old",
        testimg::ModuleImage({testimg::AppModule(testimg::E32Form::kWithoutTimestamp)}));
  Write(dir / "module" / "app_2000",
        testimg::ModuleImage({testimg::AppModule(testimg::E32Form::kYear2000)}));

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

  // Registry text: what Hivelore writes (every data form, hex(N) among them; hex(2) and
  // hex(ffff) come back as markers) and what people write by hand (comments, @, continuations
  // anywhere, LF line ends, no header).
  Write(dir / "regtext" / "written",
        testimg::BytesOf(
            "REGEDIT4\r\n\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Demo]\r\n"
            "\"\"=\"C:\\\\Temp \\\"x\\\"\"\r\n"
            "\"Count\"=dword:0000000A\r\n"
            "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,\\\r\n"
            "   14,15\r\n"
            "\"List\"=multi_sz:\"a\",\\\r\n  \"b\"\r\n"
            "\"Mui\"=mui_sz:\"a.dll,#1\"\r\n"
            "\"q\\\"\"=hex(2):25,00,78,00,25,00,00,00\r\n"
            "\r\n[HKEY_CLASSES_ROOT\\]\r\n"
            "\r\n[HKEY_ROOT_9\\odd]\r\n"
            "\"\"=hex(ffff):\r\n"));
  Write(dir / "regtext" / "by_hand",
        testimg::BytesOf("; platform registry\n"
                         "[HKEY_CURRENT_USER\\ControlPanel\\Owner] ; owner\n"
                         "@=\"\xE4\\d\"\n"
                         "  \"Bin\" = hex: 1, 02 ,\\\n 0a\n"
                         "\"Flags\"=dword:4 ; comment\n"
                         "\"T\"=HEX(B):01,02,03,04,05,06,07,08\n"
                         "[hkey_users\\a]b\\C]\n"
                         "\"l\"=multi_sz:\\\n\"\",\"x\"\n"
                         "[HKEY_CURRENT_USER\\controlpanel\\OWNER]\n"
                         "\"bin\"=dword:1"));

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
