// RomImage: the one loaded *.nb0 image, its buffer of the chosen flash size, and the readers.
//
// The buffer is allocated once per load at its final size (the flash size, or the file's size
// when that is larger) and never grows; every editing action shifts bytes inside it. All access
// to the bytes goes through the checked helpers here, so no input can make the tools read or
// write outside the buffer. The derived fields are filled by LocateRomHeader (rom_header.h).
#ifndef TARNWICK_ROM_ROM_IMAGE_H_
#define TARNWICK_ROM_ROM_IMAGE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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

// Buffer size for a file of `file_size` bytes: 64 MiB for "64 MB", 32 MiB otherwise; in both
// cases the file's own size when it is larger.
[[nodiscard]] int64_t FlashBufferSize(FlashChoice choice, int64_t file_size);

// Text of the first status panel after a load: "max. FlashSize: N ( M MB )".
[[nodiscard]] std::string FlashSizeText(int32_t buffer_size);

// n rounded up to a multiple of 4, wrapping to 0 above 0xFFFFFFFC.
[[nodiscard]] constexpr uint32_t AlignUp4(uint32_t n) { return (n + 3u) & ~3u; }

class RomImage {
 public:
  RomImage() = default;
  RomImage(const RomImage&) = delete;
  RomImage& operator=(const RomImage&) = delete;

  // Full path of the loaded file; empty from the start of a load until it has succeeded.
  std::string FileName;
  // Meaningful bytes at the start of the buffer; the image is saved with this length.
  int32_t ImageLength = 0;
  // Size of the buffer in bytes, fixed until the next load.
  int32_t BufferSize = 0;
  // Position of the next ReadDwordBE or ReadDword.
  int32_t Cursor = 0;

  // Derived fields, set by LocateRomHeader. SignatureOffset is -1 when no signature was found;
  // then every other derived field is 0 and no table can be reached.
  int32_t SignatureOffset = -1;
  uint32_t HeaderPointerOffset = 0;
  uint32_t SecondPointerOffset = 0;  // 0: no second copy of the header address
  uint32_t RomBase = 0;
  uint32_t RomHeaderOffset = 0;
  bool RomHeaderInBuffer = false;  // the 84 header bytes lie wholly in the buffer
  uint32_t ModuleTable = 0;        // offset of the first TOCentry
  uint32_t FileTable = 0;          // offset of the first FILESentry
  uint32_t ModuleCount = 0;        // module entries that lie wholly in the buffer
  uint32_t FileCount = 0;          // file entries that lie wholly in the buffer

  [[nodiscard]] bool HasData() const { return data_ != nullptr; }
  [[nodiscard]] uint8_t* Data() { return data_.get(); }
  [[nodiscard]] const uint8_t* Data() const { return data_.get(); }

  // True when [offset, offset + length) lies inside the buffer.
  [[nodiscard]] bool Fits(uint64_t offset, uint64_t length) const {
    const uint64_t size = BufferSize > 0 ? static_cast<uint64_t>(BufferSize) : 0;
    return offset <= size && length <= size - offset;
  }

  // Little-endian dword at a buffer offset; nullopt when it does not lie wholly in the buffer.
  [[nodiscard]] std::optional<uint32_t> Dword(uint64_t offset) const;
  // Writes a little-endian dword; false (and nothing written) outside the buffer.
  bool SetDword(uint64_t offset, uint32_t value);

  // Cursor readers: the dword at Cursor, big- or little-endian, then Cursor += step.
  // nullopt (Cursor unchanged) when the dword does not lie wholly in the buffer.
  [[nodiscard]] std::optional<uint32_t> ReadDwordBE(int32_t step);
  [[nodiscard]] std::optional<uint32_t> ReadDword(int32_t step);

  // The 0-terminated name at an image address (offset = address - RomBase), without its
  // 0 byte. Stops at the buffer's end and after kMaxNameLength bytes; an address outside the
  // buffer gives the empty text.
  [[nodiscard]] std::string ReadRomString(uint32_t address) const;

  // Number of name bytes ReadRomString would return, without building the text.
  [[nodiscard]] uint32_t RomStringLength(uint32_t address) const;

  // Forgets everything LocateRomHeader found.
  void ResetDerived();
  // Releases the buffer and clears every field (the state before the first load).
  void Release();
  // Installs a new buffer of `size` bytes (taking ownership) with `length` meaningful bytes.
  void Adopt(std::unique_ptr<uint8_t[]> data, int32_t size, int32_t length);

 private:
  std::unique_ptr<uint8_t[]> data_;
};

struct LoadResult {
  bool ok = false;
  // "max. FlashSize: ..." once the file's size is known; empty when the load ended earlier.
  std::string status_text;
  // What went wrong, naming the file and the system's reason; empty on success.
  std::string error;
};

// Replaces the image with the file at `path`: releases the old buffer first, allocates the
// buffer for the flash choice, fills it with `fill` and reads the whole file into its start.
// The file is opened for reading only. On failure the old image is gone all the same.
[[nodiscard]] LoadResult LoadImage(RomImage& image, const std::string& path, FlashChoice flash,
                                   uint8_t fill);

}  // namespace rom

#endif  // TARNWICK_ROM_ROM_IMAGE_H_
