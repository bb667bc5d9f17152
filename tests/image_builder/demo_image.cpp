// Layout of the demo image.
#include "tests/image_builder/demo_image.h"

namespace testimg {

namespace {

constexpr uint32_t AlignUp4(uint32_t n) { return (n + 3u) & ~3u; }

Bytes TextContent(const std::string& line, size_t repeats) {
  std::string s;
  for (size_t i = 0; i < repeats; ++i) s += line + " #" + std::to_string(i) + "\r\n";
  return BytesOf(s);
}

uint64_t Time(int64_t days_after_2004, int seconds) {
  // 1 January 2004, 00:00:00 UTC as a FILETIME.
  constexpr uint64_t k2004 = 127173888000000000ull;
  return k2004 + static_cast<uint64_t>(days_after_2004 * 86400 + seconds) * 10000000ull;
}

}  // namespace

Bytes DemoImage(const Compressor& compress) {
  struct Item {
    std::string name;
    Bytes content;
    uint32_t attributes;
    uint32_t gap_after;  // bytes left free behind the stored data
    bool name_in_front;
  };
  const std::vector<Item> items = {
      {"boot.ini", TextContent("[boot] device=demo", 4), 0x7, 0, true},
      {"default.fdf", Pattern(300, 0x11), 0x807, 0, true},
      {"Gr\xFC\xDF"
       "e.txt",
       TextContent("Gr\xFC\xDF"
                   "e aus dem ROM",
                   3),
       0x1, 4, true},
      {"splash.bmp", Pattern(513, 0x40), 0x801, 0, false},
      {"Caf\xE9.wav", Pattern(64, 0x7F), 0x3, 0, true},
      {"readme.txt", TextContent("This image was made by the demo builder.", 40), 0x801, 20, true},
      {"\x80uro.dat", Pattern(17, 0x99), 0x1, 0, true},
      {"My File.txt", TextContent("a name with a blank", 2), 0x1, 0, true},
      {"hidden.cfg", TextContent("secret=1", 1), 0x43, 0, true},
      {"empty.dat", Bytes(), 0x1, 0, true},
      {"long_name_for_a_file_1234.txt", TextContent("long names run into the time", 2), 0x1, 0,
       false},
      {"tz.dat", TextContent("zone=CET", 50), 0x805, 0, true},
  };

  constexpr uint32_t kModuleCode = 0x1000;
  constexpr uint32_t kFilesStart = 0x2000;

  uint32_t at = kFilesStart;
  std::vector<FileSpec> files;
  for (size_t i = 0; i < items.size(); ++i) {
    const Item& item = items[i];
    FileSpec file;
    file.name = item.name;
    file.attributes = item.attributes;
    file.time = Time(static_cast<int64_t>(i) * 37, 9 * 3600 + 7 * 60 + 3 + static_cast<int>(i));
    file.real_size = static_cast<uint32_t>(item.content.size());
    file.data = item.content;
    if (item.attributes & 0x800) {
      if (auto packed = compress ? compress(item.content) : std::nullopt) file.data = *packed;
    }
    file.comp_size = static_cast<uint32_t>(file.data.size());
    if (item.name_in_front) {
      file.name_offset = at;
      at = AlignUp4(at + static_cast<uint32_t>(item.name.size()) + 1);
    }
    file.data_offset = at;
    at = AlignUp4(at + static_cast<uint32_t>(file.data.size())) + item.gap_after;
    files.push_back(std::move(file));
  }
  // Names kept apart from their data, in one name area in front of the header.
  for (FileSpec& file : files) {
    if (file.name_offset != 0) continue;
    file.name_offset = at;
    at += static_cast<uint32_t>(file.name.size()) + 1;  // unaligned, as a linker may leave it
  }
  const char* module_names[] = {"nk.exe", "coredll.dll", "filesys.exe"};
  std::vector<ModuleSpec> modules;
  for (uint32_t m = 0; m < 3; ++m) {
    ModuleSpec module;
    module.name = module_names[m];
    module.name_offset = kModuleCode + 0x900 + 0x10 * m;  // with the modules' code
    module.attributes = m == 0 ? 0x7 : 0x1007;
    module.time = Time(2, 12 * 3600);
    module.size = 0x200 + m * 0x100;
    module.e32_offset = kModuleCode + m * 0x200;
    module.o32_offset = kModuleCode + m * 0x200 + 0x70;
    module.load_address = 0x8C100000 + m * 0x10000;
    modules.push_back(module);
  }

  // The header block ends the image, as the image builder of the platform leaves it.
  const uint32_t header = AlignUp4(at);
  const auto table_end = header + 84 + 32 * static_cast<uint32_t>(modules.size()) +
                         28 * static_cast<uint32_t>(files.size());
  ImageBuilder builder(table_end);
  builder.RomBase(0x88000000).Signature(0x40).HeaderOffset(header).SecondPointer(0x60);
  builder.HeaderField(0, 0x02000000).HeaderField(4, 0x02100000);
  builder.HeaderField(8, 0x88000000).HeaderField(12, 0x88000000 + table_end);
  builder.HeaderField(20, 0x8C000000).HeaderField(24, 0x8C080000).HeaderField(28, 0x8E000000);
  builder.HeaderField(52, 0x2).HeaderField16(68, 0x01C2);
  builder.Put(kModuleCode, Pattern(0x800, 0x01));  // code of the modules: a fixed block
  // Each module's e32_rom (112 bytes, with e32_timestamp) counts one section, whose o32_rom
  // record, directly behind it, places its 0x80 stored bytes within the module's code, where
  // they run in place.
  for (uint32_t m = 0; m < 3; ++m) {
    const uint32_t e32 = kModuleCode + m * 0x200;
    Bytes e32_rom(0x70, 0);
    e32_rom[0] = 1;                        // e32_objcnt
    e32_rom[2] = 0x02, e32_rom[3] = 0x01;  // e32_imageflags: executable, 32-bit
    StoreDword(e32_rom, 8, 0x88000000 + e32 + 0x100 - 0x1000);  // e32_vbase
    e32_rom[12] = 4;                                            // e32_subsysmajor
    StoreDword(e32_rom, 16, 0x10000);                           // e32_stackmax
    StoreDword(e32_rom, 20, 0x2000);                            // e32_vsize
    StoreDword(e32_rom, 32, 0x386D4380);                        // e32_timestamp
    e32_rom[108] = 9;                                           // e32_subsys: Windows CE GUI
    builder.Put(e32, e32_rom);
    Bytes o32(24, 0);
    StoreDword(o32, 0, 0x100);                      // o32_vsize
    StoreDword(o32, 4, 0x1000);                     // o32_rva
    StoreDword(o32, 8, 0x80);                       // o32_psize
    StoreDword(o32, 12, 0x88000000 + e32 + 0x100);  // o32_dataptr
    StoreDword(o32, 20, 0x60000020);                // o32_flags: code
    builder.Put(e32 + 0x70, o32);
  }
  for (ModuleSpec& module : modules) builder.AddModule(std::move(module));
  for (FileSpec& file : files) builder.AddFile(std::move(file));
  return builder.Build();
}

}  // namespace testimg
