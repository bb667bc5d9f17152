// Reading and writing "B000FF" record files: the checked walk, laying records into a flat
// buffer, and the encoder.
//
// A record file describes a flat image of ImageLength bytes that begins at address ImageStart:
// each data record's bytes belong at buffer offset address - ImageStart, and bytes no record
// covers hold the loader's fill byte. Reading checks everything before a byte is trusted:
// checksums, records inside [start, start + length), no overlaps, a proper end record and
// nothing behind it. The walk pulls bytes from a BinSource, so the same checks serve a file
// held in memory and one streamed from disk straight into the image buffer (rom/bin_image.h).
#ifndef TARNWICK_ROM_BIN_RECORDS_H_
#define TARNWICK_ROM_BIN_RECORDS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rom {

// One data record as the file holds it.
struct BinRecord {
  uint32_t address = 0;
  uint32_t length = 0;
  uint32_t checksum = 0;
  uint64_t file_offset = 0;  // where the record's 12-byte head begins in the file

  bool operator==(const BinRecord&) const = default;
};

// What a record file holds besides the data bytes: enough to write it again byte for byte.
struct BinLayout {
  uint32_t start = 0;              // ImageStart: address of buffer offset 0
  uint32_t length = 0;             // ImageLength
  uint32_t launch = 0;             // the end record's length field
  std::vector<BinRecord> records;  // data records in file order; the end record is not listed

  bool operator==(const BinLayout&) const = default;
};

enum class BinErrorKind {
  kNoSyncLine,          // the file does not begin with "B000FF" and a line feed
  kTruncatedHead,       // shorter than the 15-byte file head; `count` = the file's size
  kTruncatedRecord,     // a record's head or data reach past the file's end; `count` = bytes left
  kChecksumMismatch,    // `stored` in the record, `computed` over its data
  kOutsideImage,        // a record does not lie in [start, start + length)
  kMissingEndRecord,    // the file ends after `record` data records without an end record
  kBadEndRecord,        // address 0 with a checksum (`stored`) other than 0
  kBytesAfterEnd,       // `count` bytes follow the end record
  kOverlap,             // records `record` and `other_record` share bytes
  kTooManyRecords,      // more than kMaxBinRecords data records
  kImageTooLarge,       // ImageLength (`count`) needs a buffer above `image_length` bytes
  kBeyondAddressSpace,  // start + length passes 2^32
  kReadFailed,          // the source could not deliver bytes it holds (a file error)
};

// A refusal with the data its message needs. Record numbers count data records from 0 in
// file order; file offsets point at a record's head.
struct BinError {
  BinErrorKind kind = BinErrorKind::kNoSyncLine;
  uint32_t record = 0;
  uint64_t file_offset = 0;
  uint32_t address = 0;
  uint32_t length = 0;
  uint32_t stored = 0;
  uint32_t computed = 0;
  uint64_t count = 0;
  uint32_t image_start = 0;
  uint32_t image_length = 0;
  uint32_t other_record = 0;
  uint64_t other_file_offset = 0;
  uint32_t other_address = 0;
  uint32_t other_length = 0;

  // One line saying what is wrong and where, e.g. "record 3 at file offset 0000012F (address
  // 80001000, 16 bytes): checksum 000001EB stored, 000001EC computed".
  [[nodiscard]] std::string Message() const;
};

// The file head, once read.
struct BinHead {
  uint32_t start = 0;
  uint32_t length = 0;
};

// Sum of the bytes modulo 2^32: the records' checksum.
[[nodiscard]] uint32_t BinChecksum(std::span<const uint8_t> bytes);

// True when `first_bytes` begin with the sync line "B000FF" and a line feed.
[[nodiscard]] bool IsBinRecordFile(std::span<const uint8_t> first_bytes);

// Supplies the bytes of a record file in order, for the walk below.
class BinSource {
 public:
  virtual ~BinSource() = default;
  // Bytes not yet taken.
  [[nodiscard]] virtual uint64_t Remaining() const = 0;
  // Takes the next out.size() bytes (at most Remaining()); false when they cannot be had.
  [[nodiscard]] virtual bool Read(std::span<uint8_t> out) = 0;
  // Takes the next `length` data bytes (at most Remaining()), copies them to `dest` unless it
  // is null, and returns their BinChecksum; nullopt when they cannot be had.
  [[nodiscard]] virtual std::optional<uint32_t> TakeData(uint32_t length, uint8_t* dest) = 0;
};

// A record file held in memory.
class SpanBinSource final : public BinSource {
 public:
  explicit SpanBinSource(std::span<const uint8_t> file) : file_(file) {}
  [[nodiscard]] uint64_t Remaining() const override { return file_.size() - pos_; }
  [[nodiscard]] bool Read(std::span<uint8_t> out) override;
  [[nodiscard]] std::optional<uint32_t> TakeData(uint32_t length, uint8_t* dest) override;

 private:
  std::span<const uint8_t> file_;
  size_t pos_ = 0;
};

struct BinHeadResult {
  BinHead head;
  std::optional<BinError> error;
};

// Reads and checks the 15-byte file head (sync line, start, length).
[[nodiscard]] BinHeadResult ReadBinHead(BinSource& source);

struct BinReadResult {
  BinLayout layout;  // meaningful when `error` is empty
  std::optional<BinError> error;
};

// Walks the records behind the head to the end record and checks them all. With a non-empty
// `dest` (at least head.length bytes; the image buffer) each record's data are copied to
// dest[address - start], and once every check has passed every byte of `dest` that no record
// covers is set to `fill`; on a refusal `dest` holds partial data and must be discarded.
// With an empty `dest` the data are only summed.
[[nodiscard]] BinReadResult ReadBinBody(BinSource& source, const BinHead& head,
                                        std::span<uint8_t> dest, uint8_t fill);

// ReadBinHead and ReadBinBody over a file held in memory, without copying any data.
[[nodiscard]] BinReadResult ReadBinRecords(std::span<const uint8_t> file);

// Copies each record's data from `file` (the bytes `layout` was read from) to
// buffer[address - start]. The caller has filled `buffer` with the fill byte. Returns false,
// and copies nothing, when a record does not lie in both `file` and `buffer`.
[[nodiscard]] bool LayBinRecords(const BinLayout& layout, std::span<const uint8_t> file,
                                 std::span<uint8_t> buffer);

// A stretch of the flat image that becomes one record: bytes [offset, offset + length), the
// record's address being start + offset.
struct BinCut {
  uint32_t offset = 0;
  uint32_t length = 0;

  bool operator==(const BinCut&) const = default;
};

// The cuts of a layout's records, in file order: encoding the unchanged image with them gives
// the file the layout was read from, byte for byte.
[[nodiscard]] std::vector<BinCut> CutsOf(const BinLayout& layout);

enum class BinEncodeErrorKind {
  kImageTooLong,        // the image has more than 0xFFFFFFFF bytes
  kBeyondAddressSpace,  // start + image length passes 2^32
  kCutOutsideImage,     // cut `cut` does not lie in the image
  kCutsOverlap,         // cuts `cut` and `other_cut` share bytes
  kAddressZero,         // cut `cut` would be a record at address 0, which marks the file's end
  kTooManyRecords,      // more than kMaxBinRecords cuts
  kOutOfMemory,         // no memory for the file's bytes
};

struct BinEncodeError {
  BinEncodeErrorKind kind = BinEncodeErrorKind::kImageTooLong;
  size_t cut = 0;
  size_t other_cut = 0;
  uint32_t offset = 0;
  uint32_t length = 0;
  [[nodiscard]] std::string Message() const;
};

struct BinEncodeResult {
  std::vector<uint8_t> bytes;  // the whole file; empty when `error` is set
  std::optional<BinEncodeError> error;
};

// Writes the record file of `image` (ImageLength = image.size()): the head, one record per
// cut in the order given, with its checksum, and the end record carrying `launch`. Refuses
// anything the reader above would refuse, so every file written reads back to the same image.
[[nodiscard]] BinEncodeResult EncodeBinRecords(std::span<const uint8_t> image, uint32_t start,
                                               uint32_t launch, std::span<const BinCut> cuts);

}  // namespace rom

#endif  // TARNWICK_ROM_BIN_RECORDS_H_
