// ImageBuilder: writes the signature block, header, tables, names and data of a test image.
#include "tests/image_builder/image_builder.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testimg {

namespace {

constexpr uint32_t kHeaderSize = 84;
constexpr uint32_t kModuleSize = 32;
constexpr uint32_t kFileSize = 28;

void Need(const Bytes& b, uint64_t offset, uint64_t n, const char* what) {
  if (offset > b.size() || n > b.size() - offset) {
    throw std::out_of_range(std::string("image builder: ") + what + " does not fit");
  }
}

void Store(Bytes& b, uint64_t offset, uint32_t v, const char* what) {
  Need(b, offset, 4, what);
  StoreDword(b, static_cast<size_t>(offset), v);
}

void PutBytes(Bytes& b, uint64_t offset, const Bytes& data, const char* what) {
  Need(b, offset, data.size(), what);
  std::copy(data.begin(), data.end(), b.begin() + static_cast<std::ptrdiff_t>(offset));
}

void PutName(Bytes& b, uint64_t offset, const std::string& name) {
  Bytes bytes(name.begin(), name.end());
  bytes.push_back(0);
  PutBytes(b, offset, bytes, "name");
}

void Store16(Bytes& b, uint64_t offset, uint16_t v, const char* what) {
  Need(b, offset, 2, what);
  b[offset] = static_cast<uint8_t>(v);
  b[offset + 1] = static_cast<uint8_t>(v >> 8);
}

// The e32_rom header, the o32_rom records and the stored bytes of a module with e32 set.
void PutModuleHeaders(Bytes& b, const ModuleSpec& m, uint32_t rom_base,
                      const std::function<Bytes(const Bytes&)>& compress) {
  const E32Spec& e = *m.e32;
  const uint64_t at = m.e32_offset;
  Store16(b, at + 0, e.objcnt.value_or(static_cast<uint16_t>(m.sections.size())), "e32_rom");
  Store16(b, at + 2, e.imageflags, "e32_rom");
  Store(b, at + 4, e.entryrva, "e32_rom");
  Store(b, at + 8, e.vbase, "e32_rom");
  Store16(b, at + 12, e.subsysmajor, "e32_rom");
  Store16(b, at + 14, e.subsysminor, "e32_rom");
  Store(b, at + 16, e.stackmax, "e32_rom");
  Store(b, at + 20, e.vsize, "e32_rom");
  uint64_t unit = at + 24;
  if (e.form != E32Form::kYear2000) {
    Store(b, unit, e.sect14rva, "e32_rom");
    Store(b, unit + 4, e.sect14size, "e32_rom");
    unit += 8;
  }
  if (e.form == E32Form::kWithTimestamp) {
    Store(b, unit, e.timestamp, "e32_rom");
    unit += 4;
  }
  for (const auto& u : e.units) {
    Store(b, unit, u[0], "e32_rom");
    Store(b, unit + 4, u[1], "e32_rom");
    unit += 8;
  }
  Store16(b, unit, e.subsys, "e32_rom");

  uint64_t rec = m.o32_offset;
  for (const SectionSpec& s : m.sections) {
    Bytes stored = s.data;
    if (s.compress) {
      if (!compress) throw std::logic_error("image builder: a compressed section needs Compressor");
      stored = compress(s.data);
    }
    Store(b, rec + 0, s.vsize, "o32_rom");
    Store(b, rec + 4, s.rva, "o32_rom");
    Store(b, rec + 8, s.psize.value_or(static_cast<uint32_t>(stored.size())), "o32_rom");
    Store(b, rec + 12, s.dataptr.value_or(s.data_offset + rom_base), "o32_rom");
    Store(b, rec + 16, s.realaddr, "o32_rom");
    Store(b, rec + 20, s.flags | (s.compress ? 0x2000u : 0u), "o32_rom");
    if (!stored.empty()) PutBytes(b, s.data_offset, stored, "section data");
    rec += 24;
  }
}

}  // namespace

ImageBuilder::ImageBuilder(uint32_t image_length, uint8_t fill)
    : length_(image_length), fill_(fill) {}

ImageBuilder& ImageBuilder::RomBase(uint32_t base) {
  rom_base_ = base;
  return *this;
}
ImageBuilder& ImageBuilder::Signature(uint32_t offset) {
  signature_ = offset;
  return *this;
}
ImageBuilder& ImageBuilder::NoSignature() {
  signature_.reset();
  return *this;
}
ImageBuilder& ImageBuilder::HeaderOffset(uint32_t offset) {
  header_offset_ = offset;
  return *this;
}
ImageBuilder& ImageBuilder::SecondPointer(uint32_t offset) {
  second_pointer_ = offset;
  return *this;
}
ImageBuilder& ImageBuilder::HeaderField(uint32_t field, uint32_t value) {
  fields_[field] = value;
  return *this;
}
ImageBuilder& ImageBuilder::HeaderField16(uint32_t field, uint16_t value) {
  fields16_[field] = value;
  return *this;
}
ImageBuilder& ImageBuilder::AddModule(ModuleSpec module) {
  modules_.push_back(std::move(module));
  return *this;
}
ImageBuilder& ImageBuilder::AddFile(FileSpec file) {
  files_.push_back(std::move(file));
  return *this;
}
ImageBuilder& ImageBuilder::Put(uint32_t offset, const Bytes& bytes) {
  puts_.emplace_back(offset, bytes);
  return *this;
}
ImageBuilder& ImageBuilder::Compressor(std::function<Bytes(const Bytes&)> compress) {
  compress_ = std::move(compress);
  return *this;
}
ImageBuilder& ImageBuilder::PutDword(uint32_t offset, uint32_t value) {
  Bytes b(4);
  StoreDword(b, 0, value);
  return Put(offset, b);
}

uint32_t ImageBuilder::TableEnd() const {
  return header_offset_ + kHeaderSize + kModuleSize * static_cast<uint32_t>(modules_.size()) +
         kFileSize * static_cast<uint32_t>(files_.size());
}

Bytes ImageBuilder::Build() const {
  Bytes b(length_, fill_);

  const uint32_t header_address = header_offset_ + rom_base_;
  if (signature_) {
    PutBytes(b, *signature_, BytesOf("ECEC"), "signature");
    Store(b, uint64_t{*signature_} + 4, header_address, "signature block");
    Store(b, uint64_t{*signature_} + 8, header_offset_, "signature block");
  }
  if (second_pointer_) Store(b, *second_pointer_, header_address, "second pointer");

  const uint64_t h = header_offset_;
  Need(b, h, kHeaderSize, "ROM header");
  std::fill(b.begin() + static_cast<std::ptrdiff_t>(h),
            b.begin() + static_cast<std::ptrdiff_t>(h + kHeaderSize), 0);
  Store(b, h + 16, static_cast<uint32_t>(modules_.size()), "ROM header");
  Store(b, h + 48, static_cast<uint32_t>(files_.size()), "ROM header");
  for (const auto& [field, value] : fields_) Store(b, h + field, value, "header field");
  for (const auto& [field, value] : fields16_) {
    Need(b, h + field, 2, "header field");
    b[h + field] = static_cast<uint8_t>(value);
    b[h + field + 1] = static_cast<uint8_t>(value >> 8);
  }

  uint64_t at = h + kHeaderSize;
  for (const ModuleSpec& m : modules_) {
    Store(b, at + 0, m.attributes, "module entry");
    Store(b, at + 4, static_cast<uint32_t>(m.time), "module entry");
    Store(b, at + 8, static_cast<uint32_t>(m.time >> 32), "module entry");
    Store(b, at + 12, m.size, "module entry");
    Store(b, at + 16, m.name_offset + rom_base_, "module entry");
    Store(b, at + 20, m.e32_offset + rom_base_, "module entry");
    Store(b, at + 24, m.o32_offset + rom_base_, "module entry");
    Store(b, at + 28, m.load_address, "module entry");
    PutName(b, m.name_offset, m.name);
    if (m.e32) PutModuleHeaders(b, m, rom_base_, compress_);
    at += kModuleSize;
  }
  for (const FileSpec& f : files_) {
    const auto size = static_cast<uint32_t>(f.data.size());
    Store(b, at + 0, f.attributes, "file entry");
    Store(b, at + 4, static_cast<uint32_t>(f.time), "file entry");
    Store(b, at + 8, static_cast<uint32_t>(f.time >> 32), "file entry");
    Store(b, at + 12, f.real_size.value_or(size), "file entry");
    Store(b, at + 16, f.comp_size.value_or(size), "file entry");
    Store(b, at + 20, f.name_offset + rom_base_, "file entry");
    Store(b, at + 24, f.data_offset + rom_base_, "file entry");
    if (f.write_name) PutName(b, f.name_offset, f.name);
    PutBytes(b, f.data_offset, f.data, "file data");
    at += kFileSize;
  }
  // Raw bytes last, so that they can damage anything written above.
  for (const auto& [offset, bytes] : puts_) PutBytes(b, offset, bytes, "raw bytes");
  return b;
}

ImageBuilder PlausibleImage(uint32_t module_name) {
  constexpr uint32_t kBase = 0x80000000;
  constexpr uint32_t kLength = 0x2000;
  ImageBuilder b(kLength);
  b.RomBase(kBase).Signature(0x40).HeaderOffset(0x1000);
  b.HeaderField(8, kBase).HeaderField(12, kBase + kLength);  // physfirst, physlast
  b.AddModule(
      {.name = "nk.exe", .name_offset = module_name, .e32_offset = 0x400, .o32_offset = 0x470});
  b.AddFile(
      {.name = "a.txt", .name_offset = 0x1810, .data = Pattern(20, 1), .data_offset = 0x1820});
  b.AddFile({.name = "b.txt", .name_offset = 0x1840, .data = Pattern(9, 2), .data_offset = 0x1848});
  return b;
}

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void StoreDword(Bytes& b, size_t offset, uint32_t v) {
  b.at(offset + 3);
  for (int i = 0; i < 4; ++i)
    b[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t LoadDword(const Bytes& b, size_t offset) {
  b.at(offset + 3);
  return static_cast<uint32_t>(b[offset]) | static_cast<uint32_t>(b[offset + 1]) << 8 |
         static_cast<uint32_t>(b[offset + 2]) << 16 | static_cast<uint32_t>(b[offset + 3]) << 24;
}

}  // namespace testimg
