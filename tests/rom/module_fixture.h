// Shared pieces of the module tests: a stand-in coding for compressed sections, an image with a
// module of every kind of section, and a PE reader written apart from the code under test.
#ifndef TARNWICK_TESTS_ROM_MODULE_FIXTURE_H_
#define TARNWICK_TESTS_ROM_MODULE_FIXTURE_H_

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/decompressor.h"
#include "rom/rom_header.h"
#include "rom/rom_image.h"
#include "tests/image_builder/image_builder.h"

namespace testimg {

// Stand-in coding of compressed sections and files: the data's length as a dword, then the
// data with every byte XORed with 0x5A. The tests need a coding that the fake decoder below
// reads and checks, not the platform's.
inline Bytes FakeCompress(const Bytes& data) {
  Bytes out(4);
  StoreDword(out, 0, static_cast<uint32_t>(data.size()));
  for (uint8_t b : data) out.push_back(static_cast<uint8_t>(b ^ 0x5A));
  return out;
}

inline std::optional<uint32_t> FakeDecompress(std::span<const uint8_t> in, std::span<uint8_t> out) {
  if (in.size() < 4) return std::nullopt;
  const uint32_t n = in[0] | in[1] << 8 | in[2] << 16 | static_cast<uint32_t>(in[3]) << 24;
  if (in.size() - 4 != n || n > out.size()) return std::nullopt;
  for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[4 + i] ^ 0x5A);
  return n;
}

// Puts `bytes` into the image as a buffer of exactly their size and locates the header.
inline void Adopt(rom::RomImage& image, const Bytes& bytes) {
  std::unique_ptr<uint8_t[]> data(new uint8_t[bytes.size()]);
  std::memcpy(data.get(), bytes.data(), bytes.size());
  image.Adopt(std::move(data), static_cast<int32_t>(bytes.size()),
              static_cast<int32_t>(bytes.size()));
  (void)rom::LocateRomHeader(image);
}

// The module "app.exe" at the usual places: e32_rom at 0x1900, o32_rom at 0x1980, e32_vbase
// 0x80003000 (so a section stored at 0x1000 + its rva runs in place), e32_vsize 0xA000.
// Sections: 0 code stored in place, 1 compressed read-only data, 2 compressed writable data whose
// stream ends before o32_vsize, 3 stored writable data with psize < vsize, 4 the exception
// table, 5 the resources, 6 uninitialised data (nothing stored). Units: exports and imports in
// section 1, resources, exceptions, debug in section 0, and fixups in no section.
inline ModuleSpec AppModule(E32Form form = E32Form::kWithTimestamp) {
  ModuleSpec m;
  m.name = "app.exe";
  m.name_offset = 0x1800;
  m.e32_offset = 0x1900;
  m.o32_offset = 0x1980;
  m.load_address = 0x80003000;
  E32Spec e;
  e.form = form;
  e.entryrva = 0x1234;
  e.vbase = 0x80003000;
  e.vsize = 0xA000;
  e.timestamp = 0x4E71AA63;
  e.units[0][0] = 0x3010, e.units[0][1] = 0x40;   // export
  e.units[1][0] = 0x3100, e.units[1][1] = 0x28;   // import
  e.units[2][0] = 0x7000, e.units[2][1] = 0x200;  // resource
  e.units[3][0] = 0x6000, e.units[3][1] = 0x40;   // exception
  e.units[5][0] = 0x9000, e.units[5][1] = 0x80;   // fixup: not stored
  e.units[6][0] = 0x1000, e.units[6][1] = 0x1C;   // debug
  m.e32 = e;
  auto section = [](uint32_t rva, uint32_t vsize, Bytes data, uint32_t at, uint32_t flags) {
    SectionSpec s;
    s.rva = rva;
    s.vsize = vsize;
    s.data = std::move(data);
    s.data_offset = at;
    s.realaddr = 0x80003000 + rva;
    s.flags = flags;
    return s;
  };
  m.sections.push_back(section(0x1000, 0x1800, Pattern(0x1800, 1), 0x4000, 0x60000020));
  m.sections.push_back(section(0x3000, 0x900, Pattern(0x900, 2), 0x6000, 0x40000040));
  m.sections.back().compress = true;
  m.sections.push_back(section(0x4000, 0x1000, Pattern(0x300, 3), 0x7000, 0xC0000040));
  m.sections.back().compress = true;
  m.sections.back().realaddr = 0x8C000000;
  m.sections.push_back(section(0x5000, 0x800, Pattern(0x100, 4), 0x7800, 0xC0000040));
  m.sections.push_back(section(0x6000, 0x40, Pattern(0x40, 5), 0x7A00, 0x40000040));
  m.sections.push_back(section(0x7000, 0x200, Pattern(0x200, 6), 0x7C00, 0x40000040));
  m.sections.push_back(section(0x8000, 0x1000, {}, 0, 0xC0000080));
  return m;
}

// app.exe and a second module like it ("b.dll", headers at 0x1A40 and 0x1AC0, sections 0x4000
// further on) in `form`.
inline std::vector<ModuleSpec> TwoModules(E32Form form) {
  ModuleSpec second = AppModule(form);
  second.name = "b.dll";
  second.name_offset = 0x1810;
  second.e32_offset = 0x1A40;
  second.o32_offset = 0x1AC0;
  for (auto& s : second.sections) s.data_offset = s.data_offset ? s.data_offset + 0x4000 : 0;
  return {AppModule(form), second};
}

// An image of 0x10000 bytes, ROM header at 0x1000, usCPUType x86, holding `modules`.
inline Bytes ModuleImage(const std::vector<ModuleSpec>& modules, uint16_t cpu = 0x014C) {
  ImageBuilder b(0x10000);
  b.Compressor(FakeCompress).HeaderField16(68, cpu);
  for (const ModuleSpec& m : modules) b.AddModule(m);
  return b.Build();
}

// A PE image file as a loader reads it, parsed without the code under test.
struct ParsedPe {
  struct Section {
    std::string name;
    uint32_t vsize = 0, rva = 0, raw_size = 0, raw_ptr = 0, flags = 0;
  };
  uint16_t machine = 0, characteristics = 0, subsystem = 0;
  uint32_t timestamp = 0, entry = 0, image_base = 0, section_alignment = 0, file_alignment = 0;
  uint32_t size_of_image = 0, stack_reserve = 0;
  std::array<std::array<uint32_t, 2>, 16> dirs{};
  std::vector<Section> sections;
  std::string error;  // the first rule the file breaks; empty when it keeps them all

  // `n` bytes at `rva` as loaded (zeros behind a section's raw data); nullopt when no section
  // holds them.
  [[nodiscard]] std::optional<Bytes> At(const Bytes& file, uint32_t rva, uint32_t n) const {
    for (const Section& s : sections) {
      const uint64_t span = std::max(s.vsize, s.raw_size);
      if (rva < s.rva || uint64_t{rva} + n > s.rva + span) continue;
      Bytes out(n, 0);
      for (uint32_t i = 0; i < n; ++i) {
        const uint64_t off = uint64_t{rva} - s.rva + i;
        if (off < s.raw_size) out[i] = file.at(s.raw_ptr + off);
      }
      return out;
    }
    return std::nullopt;
  }
};

inline ParsedPe ParsePe(const Bytes& f) {
  ParsedPe pe;
  auto u16 = [&](size_t at) -> uint32_t { return f.at(at) | f.at(at + 1) << 8; };
  auto u32 = [&](size_t at) { return LoadDword(f, at); };
  if (f.size() < 64 || u16(0) != 0x5A4D) return pe.error = "no MZ header", pe;
  const size_t nt = u32(60);
  if (nt + 24 + 224 > f.size() || u32(nt) != 0x4550) return pe.error = "no PE signature", pe;
  pe.machine = static_cast<uint16_t>(u16(nt + 4));
  const uint32_t count = u16(nt + 6);
  pe.timestamp = u32(nt + 8);
  pe.characteristics = static_cast<uint16_t>(u16(nt + 22));
  const size_t opt = nt + 24;
  if (u16(nt + 20) != 224 || u16(opt) != 0x10B || u32(opt + 92) != 16) {
    return pe.error = "not a PE32 optional header with 16 directories", pe;
  }
  pe.entry = u32(opt + 16);
  pe.image_base = u32(opt + 28);
  pe.section_alignment = u32(opt + 32);
  pe.file_alignment = u32(opt + 36);
  pe.size_of_image = u32(opt + 56);
  const uint32_t size_of_headers = u32(opt + 60);
  pe.subsystem = static_cast<uint16_t>(u16(opt + 68));
  pe.stack_reserve = u32(opt + 72);
  for (size_t d = 0; d < 16; ++d) pe.dirs[d] = {u32(opt + 96 + 8 * d), u32(opt + 100 + 8 * d)};
  const size_t table = opt + 224;
  if (table + 40 * size_t{count} > size_of_headers || size_of_headers > f.size()) {
    return pe.error = "section table outside the headers", pe;
  }
  const uint32_t fa = pe.file_alignment, sa = pe.section_alignment;
  if (fa == 0 || sa == 0) return pe.error = "zero alignment", pe;
  uint64_t previous_end = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = table + 40 * size_t{i};
    ParsedPe::Section s;
    s.name.assign(reinterpret_cast<const char*>(&f[at]), 8);
    s.name.resize(s.name.find('\0') == std::string::npos ? 8 : s.name.find('\0'));
    s.vsize = u32(at + 8), s.rva = u32(at + 12), s.raw_size = u32(at + 16);
    s.raw_ptr = u32(at + 20), s.flags = u32(at + 36);
    if (s.raw_size && (s.raw_ptr % fa || s.raw_size % fa || s.raw_ptr < size_of_headers ||
                       uint64_t{s.raw_ptr} + s.raw_size > f.size())) {
      return pe.error = "raw data of " + s.name + " misplaced", pe;
    }
    if (s.rva % sa || s.rva < previous_end) return pe.error = s.name + " overlaps or unsorted", pe;
    previous_end = (uint64_t{s.rva} + std::max(s.vsize, s.raw_size) + sa - 1) / sa * sa;
    pe.sections.push_back(s);
  }
  if (previous_end > pe.size_of_image) return pe.error = "SizeOfImage too small", pe;
  // A loader refuses an unknown subsystem and a directory past the image (the security
  // directory 4 is a file position, not an rva).
  if (pe.subsystem == 0 || pe.subsystem > 16) return pe.error = "no PE subsystem", pe;
  for (size_t d = 0; d < 16; ++d) {
    if (d != 4 && uint64_t{pe.dirs[d][0]} + pe.dirs[d][1] > pe.size_of_image) {
      return pe.error = "directory " + std::to_string(d) + " outside the image", pe;
    }
  }
  return pe;
}

}  // namespace testimg

#endif  // TARNWICK_TESTS_ROM_MODULE_FIXTURE_H_
