// ImageBuilder: composes synthetic *.nb0 images in code for tests, benchmarks and the demo.
//
// Everything is placed explicitly: the signature block at any 4-aligned offset, every header
// field, modules and files with names and stored bytes anywhere, attribute bits, time stamps,
// and a second header pointer or none. Counts written into the header default to the number
// of entries added and can be overridden to build damaged images.
#ifndef TARNWICK_TESTS_IMAGE_BUILDER_IMAGE_BUILDER_H_
#define TARNWICK_TESTS_IMAGE_BUILDER_IMAGE_BUILDER_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testimg {

using Bytes = std::vector<uint8_t>;

// One section of a module with real o32_rom records (ModuleSpec::e32 set).
struct SectionSpec {
  uint32_t vsize = 0;
  uint32_t rva = 0;
  Bytes data;                // the section's content: stored as it is, or compressed
  uint32_t data_offset = 0;  // where the stored bytes go; stored as an address
  uint32_t realaddr = 0;     // stored as it is
  uint32_t flags = 0x60000020;
  // Store the builder's Compressor(data) and set o32_flags bit 0x2000.
  bool compress = false;
  std::optional<uint32_t> psize;    // default: the number of stored bytes
  std::optional<uint32_t> dataptr;  // default: data_offset as an address
};

// The three layouts of e32_rom: e32_timestamp behind the e32_sect14 pair (112 bytes with the
// padding), no e32_timestamp (108), and the year-2000 one with neither (100), whose units follow
// e32_vsize directly.
enum class E32Form { kWithTimestamp, kWithoutTimestamp, kYear2000 };

// A module's e32_rom header, written at ModuleSpec::e32_offset in any layout.
struct E32Spec {
  E32Form form = E32Form::kWithTimestamp;
  std::optional<uint16_t> objcnt;  // default: the number of sections
  uint16_t imageflags = 0x0122;
  uint32_t entryrva = 0;
  uint32_t vbase = 0;
  uint16_t subsysmajor = 6;
  uint16_t subsysminor = 0;
  uint32_t stackmax = 0x10000;
  uint32_t vsize = 0;
  uint32_t sect14rva = 0;  // not written in kYear2000
  uint32_t sect14size = 0;
  uint32_t timestamp = 0;     // written in kWithTimestamp only
  uint32_t units[9][2] = {};  // (rva, size): export, import, resource, exception, security,
                              // fixup, debug, image description, thread-local storage
  uint16_t subsys = 9;
};

struct ModuleSpec {
  std::string name;
  uint32_t name_offset = 0;  // where the name and its 0 byte are written
  uint32_t attributes = 0x7;
  uint64_t time = 0;
  uint32_t size = 0;
  uint32_t e32_offset = 0;  // buffer offsets; stored as addresses
  uint32_t o32_offset = 0;
  uint32_t load_address = 0;  // stored as it is
  // With e32 set, the e32_rom header, the o32_rom records and the sections' stored bytes are
  // written too (nothing of them otherwise).
  std::optional<E32Spec> e32;
  std::vector<SectionSpec> sections;
};

struct FileSpec {
  std::string name;
  uint32_t name_offset = 0;
  Bytes data;  // stored bytes, written at data_offset
  uint32_t data_offset = 0;
  uint32_t attributes = 0x1;
  uint64_t time = 0;
  std::optional<uint32_t> real_size;  // default: data.size()
  std::optional<uint32_t> comp_size;  // default: data.size()
  bool write_name = true;
};

class ImageBuilder {
 public:
  explicit ImageBuilder(uint32_t image_length, uint8_t fill = 0x00);

  ImageBuilder& RomBase(uint32_t base);
  ImageBuilder& Signature(uint32_t offset);
  ImageBuilder& NoSignature();
  ImageBuilder& HeaderOffset(uint32_t offset);
  // Stores a copy of the header address at `offset` (none by default).
  ImageBuilder& SecondPointer(uint32_t offset);
  // Any 32-bit header field; nummods and numfiles set here override the counts.
  ImageBuilder& HeaderField(uint32_t field, uint32_t value);
  ImageBuilder& HeaderField16(uint32_t field, uint16_t value);
  ImageBuilder& AddModule(ModuleSpec module);
  ImageBuilder& AddFile(FileSpec file);
  ImageBuilder& Put(uint32_t offset, const Bytes& bytes);
  ImageBuilder& PutDword(uint32_t offset, uint32_t value);
  // The coding of compressed sections (SectionSpec::compress); the builder has no codec.
  ImageBuilder& Compressor(std::function<Bytes(const Bytes&)> compress);

  // Offset just behind the file table as the counts stand now.
  [[nodiscard]] uint32_t TableEnd() const;
  [[nodiscard]] uint32_t rom_base() const { return rom_base_; }
  [[nodiscard]] uint32_t header_offset() const { return header_offset_; }

  // The image bytes. Throws std::out_of_range when anything does not fit.
  [[nodiscard]] Bytes Build() const;

 private:
  uint32_t length_;
  uint8_t fill_;
  uint32_t rom_base_ = 0x80000000;
  std::optional<uint32_t> signature_ = 0x40;
  uint32_t header_offset_ = 0x1000;
  std::optional<uint32_t> second_pointer_;
  std::map<uint32_t, uint32_t> fields_;
  std::map<uint32_t, uint16_t> fields16_;
  std::vector<ModuleSpec> modules_;
  std::vector<FileSpec> files_;
  std::vector<std::pair<uint32_t, Bytes>> puts_;
  std::function<Bytes(const Bytes&)> compress_;
};

// An image as the platform's builder leaves it, 0x2000 bytes at 0x80000000: signature at 0x40,
// header at 0x1000 with "phys first" and "phys last" around it, module nk.exe (its name at
// `module_name`) and the files a.txt and b.txt behind the header.
[[nodiscard]] ImageBuilder PlausibleImage(uint32_t module_name = 0x1800);

// Bytes of a text (Windows-1252 as written in the source with \x escapes).
[[nodiscard]] Bytes BytesOf(const std::string& text);
// `n` bytes of a repeating pattern starting at `seed`.
[[nodiscard]] Bytes Pattern(size_t n, uint8_t seed);

// Whole-file helpers for tests; they throw on failure.
void WriteFile(const std::string& path, const Bytes& bytes);
[[nodiscard]] Bytes ReadFile(const std::string& path);

// Store and load a little-endian dword in a byte vector (tests check image bytes with them).
void StoreDword(Bytes& b, size_t offset, uint32_t v);
[[nodiscard]] uint32_t LoadDword(const Bytes& b, size_t offset);

}  // namespace testimg

#endif  // TARNWICK_TESTS_IMAGE_BUILDER_IMAGE_BUILDER_H_
