// RomImage: the one loaded image, its buffer of the chosen flash size, and checked access.
//
// The buffer is allocated once per load at its final size (the flash size, or the image's size
// when that is larger) and never grows; every editing action shifts bytes inside it. All access
// to the bytes goes through the checked slices here, so no input can make the tools read or
// write outside the buffer. What the header search found (rom_header.h) is kept as the image's
// location and can only be set by that search.
#ifndef TARNWICK_ROM_ROM_IMAGE_H_
#define TARNWICK_ROM_ROM_IMAGE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/bin_records.h"
#include "rom/result.h"

namespace rom {

inline constexpr int32_t k32MiB = 0x2000000;
inline constexpr int32_t k64MiB = 0x4000000;
// Longest name the tools read: a name without its 0 byte within this many bytes ends there.
// Windows CE names are far shorter; the cap keeps a hostile table whose names all run through
// megabytes of fill from costing time and memory per entry.
inline constexpr uint32_t kMaxNameLength = 1024;
// Largest buffer a load makes: a file larger than this is refused rather than allocated.
inline constexpr int64_t kMaxBufferSize = int64_t{1} << 30;

// The "Flash Size" choice: none made yet, "32 MB" or "64 MB".
enum class FlashChoice { kNone, k32MB, k64MB };

// Buffer size for an image of `image_size` bytes: 64 MiB for "64 MB", 32 MiB otherwise; in
// both cases the image's own size when it is larger.
[[nodiscard]] int64_t FlashBufferSize(FlashChoice choice, int64_t image_size);

// Text of the first status panel after a load: "max. FlashSize: N ( M MB )".
[[nodiscard]] std::string FlashSizeText(int32_t buffer_size);

// n rounded up to a multiple of 4, wrapping to 0 above 0xFFFFFFFC.
[[nodiscard]] constexpr uint32_t AlignUp4(uint32_t n) { return (n + 3u) & ~3u; }

// What the header search found. SignatureOffset is -1 when no signature was found; then every
// other field is 0 and no table can be reached.
struct RomLocation {
  int32_t SignatureOffset = -1;
  uint32_t HeaderPointerOffset = 0;  // S + 4
  uint32_t SecondPointerOffset = 0;  // 0: no second copy of the header address
  uint32_t RomBase = 0;              // address of buffer offset 0
  uint32_t RomHeaderOffset = 0;
  bool RomHeaderInBuffer = false;  // the 84 header bytes lie wholly in the buffer
  uint32_t ModuleTable = 0;        // offset of the first TOCentry
  uint32_t FileTable = 0;          // offset of the first FILESentry
  uint32_t ModuleCount = 0;        // module entries that lie wholly in the buffer (listed)
  uint32_t FileCount = 0;          // file entries that lie wholly in the buffer (listed)
  uint32_t nummods = 0;            // the counts as the header stores them
  uint32_t numfiles = 0;
};

// Where the image came from, beyond its bytes: what a save in the file's own form needs, and
// how the header was found when the usual rule did not find it.
struct ImageSource {
  std::optional<BinLayout> records;  // read from a "B000FF" record file
  uint32_t wrapper_bytes = 0;        // bytes of another tool's header dropped in front
  std::vector<uint8_t> wrapper;      // those bytes, as loaded: a save writes them in front again
  // The header's offset when the signature block does not hold it: found by the search and
  // kept up to date by every move of the header.
  std::optional<uint32_t> header_offset;
  bool edited = false;  // an edit changed the image since the load
};

class RomImage {
 public:
  RomImage() = default;
  RomImage(const RomImage&) = delete;
  RomImage& operator=(const RomImage&) = delete;

  // Full path of the loaded file; empty from the start of a load until it has succeeded.
  [[nodiscard]] const std::string& FileName() const { return file_name_; }
  void SetFileName(std::string name) { file_name_ = std::move(name); }
  // Meaningful bytes at the start of the buffer; the image is saved with this length.
  [[nodiscard]] int32_t ImageLength() const { return image_length_; }
  // Sets the length; a value outside 0 .. BufferSize is clamped (callers check first).
  void SetImageLength(int64_t length);
  // Size of the buffer in bytes, fixed until the next load.
  [[nodiscard]] int32_t BufferSize() const { return buffer_size_; }
  [[nodiscard]] bool HasData() const { return data_ != nullptr; }

  // True when [offset, offset + length) lies inside the buffer.
  [[nodiscard]] bool Fits(uint64_t offset, uint64_t length) const {
    const auto size = static_cast<uint64_t>(buffer_size_);
    return offset <= size && length <= size - offset;
  }
  // The bytes [offset, offset + length) of the buffer; nullopt when they do not lie wholly in
  // it. Every read and write of image bytes goes through these two.
  [[nodiscard]] std::optional<std::span<const uint8_t>> Bytes(uint64_t offset,
                                                              uint64_t length) const;
  [[nodiscard]] std::optional<std::span<uint8_t>> MutableBytes(uint64_t offset, uint64_t length);
  // The whole buffer (empty before the first load).
  [[nodiscard]] std::span<const uint8_t> Buffer() const;
  [[nodiscard]] std::span<uint8_t> MutableBuffer();

  // Little-endian dword at a buffer offset; nullopt when it does not lie wholly in the buffer.
  [[nodiscard]] std::optional<uint32_t> Dword(uint64_t offset) const;
  // Big-endian dword, as the signature is compared.
  [[nodiscard]] std::optional<uint32_t> DwordBE(uint64_t offset) const;
  // Writes a little-endian dword; false (and nothing written) outside the buffer.
  bool SetDword(uint64_t offset, uint32_t value);

  // The 0-terminated name at an image address (offset = address - RomBase), without its
  // 0 byte. Stops at the buffer's end and after kMaxNameLength bytes; an address outside the
  // buffer gives the empty text.
  [[nodiscard]] std::string ReadRomString(uint32_t address) const;
  // Number of name bytes ReadRomString would return, without building the text.
  [[nodiscard]] uint32_t RomStringLength(uint32_t address) const;

  // What the last header search found.
  [[nodiscard]] const RomLocation& Location() const { return location_; }
  void SetLocation(const RomLocation& location) { location_ = location; }
  [[nodiscard]] int32_t SignatureOffset() const { return location_.SignatureOffset; }
  [[nodiscard]] uint32_t HeaderPointerOffset() const { return location_.HeaderPointerOffset; }
  [[nodiscard]] uint32_t SecondPointerOffset() const { return location_.SecondPointerOffset; }
  [[nodiscard]] uint32_t RomBase() const { return location_.RomBase; }
  [[nodiscard]] uint32_t RomHeaderOffset() const { return location_.RomHeaderOffset; }
  [[nodiscard]] bool RomHeaderInBuffer() const { return location_.RomHeaderInBuffer; }
  [[nodiscard]] uint32_t ModuleTable() const { return location_.ModuleTable; }
  [[nodiscard]] uint32_t FileTable() const { return location_.FileTable; }
  [[nodiscard]] uint32_t ModuleCount() const { return location_.ModuleCount; }
  [[nodiscard]] uint32_t FileCount() const { return location_.FileCount; }
  // True when both tables are listed whole: every entry the header counts lies in the buffer
  // and no table is longer than the tools list. Editing needs it: an entry that is not listed
  // would not be corrected.
  [[nodiscard]] bool TablesListedWhole() const {
    return location_.RomHeaderInBuffer && location_.ModuleCount == location_.nummods &&
           location_.FileCount == location_.numfiles;
  }

  // Forgets everything the header search found.
  void ResetLocation() { location_ = RomLocation{}; }

  [[nodiscard]] const ImageSource& Source() const { return source_; }
  [[nodiscard]] ImageSource& MutableSource() { return source_; }
  // Every edit calls this once it has changed the image.
  void MarkEdited() { source_.edited = true; }
  // Releases the buffer and clears every field (the state before the first load).
  void Release();
  // Installs a new buffer of `size` bytes (taking ownership) with `length` meaningful bytes.
  void Adopt(std::unique_ptr<uint8_t[]> data, int32_t size, int32_t length);

 private:
  std::unique_ptr<uint8_t[]> data_;
  std::string file_name_;
  int32_t image_length_ = 0;
  int32_t buffer_size_ = 0;
  RomLocation location_;
  ImageSource source_;
};

// What a load made: the buffer of the flash choice (FlashSizeText tells its size) and, for a
// record file, the records as read.
struct LoadedImage {
  int32_t buffer_size = 0;
  std::optional<BinLayout> records;
};

// Replaces the image with the file at `path`: releases the old buffer first, allocates the
// buffer for the flash choice, fills it with `fill` and reads the whole file into its start.
// Anything that is not a regular file is refused before it is read. On failure the old image
// is gone all the same; an error after the buffer's size was decided carries that size.
[[nodiscard]] Result<LoadedImage> LoadImage(RomImage& image, const std::string& path,
                                            FlashChoice flash, uint8_t fill);

}  // namespace rom

#endif  // TARNWICK_ROM_ROM_IMAGE_H_
