// The record walk with its checks, laying records into a buffer, and the encoder.
#include "rom/bin_records.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

#include "bytes/byte_order.h"
#include "rom/bin_layout.h"
#include "rom/text_format.h"

namespace rom {

namespace {

constexpr uint64_t kAddressSpace = uint64_t{1} << 32;

std::string RecordText(uint32_t index, uint64_t file_offset) {
  return "record " + std::to_string(index) + " at file offset " + Hex(file_offset, 8);
}

// "(address 80001000, 16 bytes)"
std::string ExtentText(uint32_t address, uint32_t length) {
  return "(address " + H8(address) + ", " + std::to_string(length) + " bytes)";
}

// A stretch with bytes, for the overlap test: [offset, offset + length) of the image.
struct Extent {
  uint32_t offset;
  uint32_t length;
  uint32_t index;
};

// Sorts `extents` by offset and returns a pair that shares bytes, as their `index` values
// (lower first), or nullopt: in offset order, the first extent that begins before the furthest
// end reached so far overlaps the extent that reached it.
std::optional<std::pair<uint32_t, uint32_t>> FindOverlap(std::vector<Extent>& extents) {
  std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
  });
  uint64_t reach = 0;
  uint32_t reach_index = 0;
  bool any = false;
  for (const Extent& e : extents) {
    if (any && e.offset < reach) {
      return std::make_pair(std::min(reach_index, e.index), std::max(reach_index, e.index));
    }
    const uint64_t end = uint64_t{e.offset} + e.length;
    if (!any || end > reach) {
      reach = end;
      reach_index = e.index;
    }
    any = true;
  }
  return std::nullopt;
}

}  // namespace

std::string BinError::Message() const {
  switch (kind) {
    case BinErrorKind::kNoSyncLine:
      return "not a B000FF record file (it does not begin with the line \"B000FF\")";
    case BinErrorKind::kTruncatedHead:
      return "B000FF file head truncated: the file has " + std::to_string(count) + " bytes, " +
             std::to_string(binhead::kSize) + " needed";
    case BinErrorKind::kTruncatedRecord:
      return RecordText(record, file_offset) + " is truncated: only " + std::to_string(count) +
             " bytes are left for its 12-byte head and " +
             (count >= binrecord::kSize ? std::to_string(length) : std::string("its")) +
             " data bytes";
    case BinErrorKind::kChecksumMismatch:
      return RecordText(record, file_offset) + " " + ExtentText(address, length) + ": checksum " +
             H8(stored) + " stored, " + H8(computed) + " computed";
    case BinErrorKind::kOutsideImage:
      return RecordText(record, file_offset) + " " + ExtentText(address, length) +
             " lies outside the image (start " + H8(image_start) + ", length " +
             std::to_string(image_length) + ")";
    case BinErrorKind::kMissingEndRecord:
      return "no end record: the file ends at offset " + Hex(file_offset, 8) + " after " +
             std::to_string(record) + " records";
    case BinErrorKind::kBadEndRecord:
      return "end record at file offset " + Hex(file_offset, 8) + " has checksum " + H8(stored) +
             ", 00000000 expected";
    case BinErrorKind::kBytesAfterEnd:
      return std::to_string(count) + " bytes follow the end record at file offset " +
             Hex(file_offset, 8);
    case BinErrorKind::kOverlap:
      return "records overlap: " + RecordText(record, file_offset) + " " +
             ExtentText(address, length) + " and " + RecordText(other_record, other_file_offset) +
             " " + ExtentText(other_address, other_length);
    case BinErrorKind::kTooManyRecords:
      return "more than " + std::to_string(kMaxBinRecords) + " records (" +
             RecordText(record, file_offset) + ")";
    case BinErrorKind::kImageTooLarge:
      return "image length " + std::to_string(count) +
             " is larger than the largest buffer a load makes (" + std::to_string(image_length) +
             " bytes)";
    case BinErrorKind::kBeyondAddressSpace:
      return "the image (start " + H8(image_start) + ", length " + std::to_string(image_length) +
             ") passes the end of the 32-bit address space";
    case BinErrorKind::kReadFailed:
      return "read error at file offset " + Hex(file_offset, 8);
  }
  return "bad B000FF file";
}

uint32_t BinChecksum(std::span<const uint8_t> bytes) {
  uint32_t sum = 0;
  for (const uint8_t b : bytes) sum += b;
  return sum;
}

bool IsBinRecordFile(std::span<const uint8_t> first_bytes) {
  return first_bytes.size() >= binhead::kSyncSize &&
         std::memcmp(first_bytes.data(), binhead::kSync, binhead::kSyncSize) == 0;
}

bool SpanBinSource::Read(std::span<uint8_t> out) {
  if (out.size() > Remaining()) return false;
  if (out.empty()) return true;  // an empty file has no data pointer to copy from
  std::memcpy(out.data(), file_.data() + pos_, out.size());
  pos_ += out.size();
  return true;
}

std::optional<uint32_t> SpanBinSource::TakeData(uint32_t length, uint8_t* dest) {
  if (length > Remaining()) return std::nullopt;
  const std::span<const uint8_t> data = file_.subspan(pos_, length);
  if (dest != nullptr && length != 0) std::memcpy(dest, data.data(), length);
  pos_ += length;
  return BinChecksum(data);
}

BinHeadResult ReadBinHead(BinSource& source) {
  BinHeadResult r;
  const uint64_t size = source.Remaining();
  uint8_t head[binhead::kSize];
  const size_t first = static_cast<size_t>(std::min<uint64_t>(size, binhead::kSize));
  if (!source.Read(std::span<uint8_t>(head, first))) {
    r.error = BinError{.kind = BinErrorKind::kReadFailed};
    return r;
  }
  if (!IsBinRecordFile(std::span<const uint8_t>(head, first))) {
    r.error = BinError{.kind = BinErrorKind::kNoSyncLine};
    return r;
  }
  if (first < binhead::kSize) {
    r.error = BinError{.kind = BinErrorKind::kTruncatedHead, .count = size};
    return r;
  }
  r.head.start = bytes::LoadLe32(head + binhead::ImageStart);
  r.head.length = bytes::LoadLe32(head + binhead::ImageLength);
  if (uint64_t{r.head.start} + r.head.length > kAddressSpace) {
    r.error = BinError{.kind = BinErrorKind::kBeyondAddressSpace,
                       .image_start = r.head.start,
                       .image_length = r.head.length};
  }
  return r;
}

namespace {

// Reads the record heads and data behind the file head up to and with the end record, checking
// each record as it comes; with `copy`, each record's data go to dest[address - start].
std::optional<BinError> WalkRecords(BinSource& source, const BinHead& head, std::span<uint8_t> dest,
                                    bool copy, BinLayout& layout) {
  uint64_t at = binhead::kSize;  // file offset of the next record head
  while (true) {
    const auto index = static_cast<uint32_t>(layout.records.size());
    const uint64_t left = source.Remaining();
    if (left == 0) {
      return BinError{.kind = BinErrorKind::kMissingEndRecord, .record = index, .file_offset = at};
    }
    if (left < binrecord::kSize) {
      return BinError{.kind = BinErrorKind::kTruncatedRecord,
                      .record = index,
                      .file_offset = at,
                      .count = left};
    }
    uint8_t h[binrecord::kSize];
    if (!source.Read(h)) {
      return BinError{.kind = BinErrorKind::kReadFailed, .record = index, .file_offset = at};
    }
    const uint32_t address = bytes::LoadLe32(h + binrecord::Address);
    const uint32_t length = bytes::LoadLe32(h + binrecord::Length);
    const uint32_t checksum = bytes::LoadLe32(h + binrecord::Checksum);
    BinError e{.record = index,
               .file_offset = at,
               .address = address,
               .length = length,
               .stored = checksum,
               .image_start = head.start,
               .image_length = head.length};

    if (address == 0) {
      // Address 0 marks the end; its length field is the launch address.
      if (checksum != 0) {
        e.kind = BinErrorKind::kBadEndRecord;
        return e;
      }
      if (source.Remaining() != 0) {
        e.kind = BinErrorKind::kBytesAfterEnd;
        e.count = source.Remaining();
        return e;
      }
      layout.launch = length;
      return std::nullopt;
    }
    if (index >= kMaxBinRecords) {
      e.kind = BinErrorKind::kTooManyRecords;
      return e;
    }
    // Inside [start, start + length), checked without wrap-around.
    const uint64_t rel = uint64_t{address} - head.start;
    if (address < head.start || rel > head.length || length > head.length - rel) {
      e.kind = BinErrorKind::kOutsideImage;
      return e;
    }
    if (length > source.Remaining()) {
      e.kind = BinErrorKind::kTruncatedRecord;
      e.count = left;
      return e;
    }
    const std::optional<uint32_t> sum = source.TakeData(length, copy ? dest.data() + rel : nullptr);
    if (!sum) {
      e.kind = BinErrorKind::kReadFailed;
      return e;
    }
    if (*sum != checksum) {
      e.kind = BinErrorKind::kChecksumMismatch;
      e.computed = *sum;
      return e;
    }
    layout.records.push_back({address, length, checksum, at});
    at += binrecord::kSize + uint64_t{length};
  }
}

// The records' stretches of the image in offset order, or the first two records that share
// bytes (in file order).
std::optional<BinError> CheckOverlaps(const BinLayout& layout, std::vector<Extent>& extents) {
  extents.reserve(layout.records.size());
  for (uint32_t i = 0; i < layout.records.size(); ++i) {
    const BinRecord& rec = layout.records[i];
    if (rec.length != 0) extents.push_back({rec.address - layout.start, rec.length, i});
  }
  const auto pair = FindOverlap(extents);
  if (!pair) return std::nullopt;
  const BinRecord& a = layout.records[pair->first];
  const BinRecord& b = layout.records[pair->second];
  return BinError{.kind = BinErrorKind::kOverlap,
                  .record = pair->first,
                  .file_offset = a.file_offset,
                  .address = a.address,
                  .length = a.length,
                  .other_record = pair->second,
                  .other_file_offset = b.file_offset,
                  .other_address = b.address,
                  .other_length = b.length};
}

// Sets every byte of `dest` that the sorted, overlap-free `extents` leave out to `fill`.
void FillAround(const std::vector<Extent>& extents, std::span<uint8_t> dest, uint8_t fill) {
  uint64_t filled_to = 0;
  for (const Extent& x : extents) {
    std::memset(dest.data() + filled_to, fill, x.offset - filled_to);
    filled_to = uint64_t{x.offset} + x.length;
  }
  std::memset(dest.data() + filled_to, fill, dest.size() - filled_to);
}

}  // namespace

BinReadResult ReadBinBody(BinSource& source, const BinHead& head, std::span<uint8_t> dest,
                          uint8_t fill) {
  BinReadResult r;
  r.layout.start = head.start;
  r.layout.length = head.length;
  const bool copy = !dest.empty();
  assert(!copy || dest.size() >= head.length);
  if (copy && dest.size() < head.length) {
    r.error = BinError{.kind = BinErrorKind::kImageTooLarge,
                       .count = head.length,
                       .image_length = static_cast<uint32_t>(dest.size())};
    return r;
  }
  r.error = WalkRecords(source, head, dest, copy, r.layout);
  if (r.error) return r;
  std::vector<Extent> extents;
  r.error = CheckOverlaps(r.layout, extents);
  if (r.error) return r;
  if (copy) FillAround(extents, dest, fill);
  return r;
}

BinReadResult ReadBinRecords(std::span<const uint8_t> file) {
  SpanBinSource source(file);
  const BinHeadResult head = ReadBinHead(source);
  if (head.error) {
    BinReadResult r;
    r.error = head.error;
    return r;
  }
  return ReadBinBody(source, head.head, {}, 0);
}

bool LayBinRecords(const BinLayout& layout, std::span<const uint8_t> file,
                   std::span<uint8_t> buffer) {
  for (const BinRecord& rec : layout.records) {
    const uint64_t data = rec.file_offset + binrecord::kSize;
    const uint64_t rel = uint64_t{rec.address} - layout.start;
    if (rec.address < layout.start || data > file.size() || rec.length > file.size() - data ||
        rel > buffer.size() || rec.length > buffer.size() - rel) {
      return false;
    }
  }
  for (const BinRecord& rec : layout.records) {
    if (rec.length == 0) continue;  // an empty image's buffer has no data pointer
    std::memcpy(buffer.data() + (rec.address - layout.start),
                file.data() + rec.file_offset + binrecord::kSize, rec.length);
  }
  return true;
}

std::vector<BinCut> CutsOf(const BinLayout& layout) {
  std::vector<BinCut> cuts;
  cuts.reserve(layout.records.size());
  for (const BinRecord& rec : layout.records) {
    cuts.push_back({rec.address - layout.start, rec.length});
  }
  return cuts;
}

std::string BinEncodeError::Message() const {
  const std::string cut_text = "stretch " + H8(offset) + " .. " + H8(offset + length - 1) + " (" +
                               std::to_string(length) + " bytes)";
  switch (kind) {
    case BinEncodeErrorKind::kImageTooLong:
      return "the image is too long for a B000FF file";
    case BinEncodeErrorKind::kBeyondAddressSpace:
      return "the image passes the end of the 32-bit address space";
    case BinEncodeErrorKind::kCutOutsideImage:
      return cut_text + " lies outside the image";
    case BinEncodeErrorKind::kCutsOverlap:
      return cut_text + " overlaps another stretch";
    case BinEncodeErrorKind::kAddressZero:
      return cut_text + " would be a record at address 0, which a B000FF file cannot hold";
    case BinEncodeErrorKind::kTooManyRecords:
      return "more than " + std::to_string(kMaxBinRecords) + " records";
    case BinEncodeErrorKind::kOutOfMemory:
      return "out of memory for the B000FF file";
  }
  return "cannot write a B000FF file";
}

BinEncodeResult EncodeBinRecords(std::span<const uint8_t> image, uint32_t start, uint32_t launch,
                                 std::span<const BinCut> cuts) {
  BinEncodeResult r;
  if (image.size() > UINT32_MAX) {
    r.error = BinEncodeError{.kind = BinEncodeErrorKind::kImageTooLong};
    return r;
  }
  const auto length = static_cast<uint32_t>(image.size());
  if (uint64_t{start} + length > kAddressSpace) {
    r.error = BinEncodeError{.kind = BinEncodeErrorKind::kBeyondAddressSpace};
    return r;
  }
  if (cuts.size() > kMaxBinRecords) {
    r.error = BinEncodeError{.kind = BinEncodeErrorKind::kTooManyRecords};
    return r;
  }
  uint64_t total = binhead::kSize + binrecord::kSize;
  std::vector<Extent> extents;
  extents.reserve(cuts.size());
  for (size_t i = 0; i < cuts.size(); ++i) {
    const BinCut& c = cuts[i];
    BinEncodeError e{.cut = i, .offset = c.offset, .length = c.length};
    if (c.offset > length || c.length > length - c.offset) {
      e.kind = BinEncodeErrorKind::kCutOutsideImage;
      r.error = e;
      return r;
    }
    // The reader takes address 0 for the end record.
    if (start + c.offset == 0) {
      e.kind = BinEncodeErrorKind::kAddressZero;
      r.error = e;
      return r;
    }
    if (c.length != 0) extents.push_back({c.offset, c.length, static_cast<uint32_t>(i)});
    total += binrecord::kSize + uint64_t{c.length};
  }
  if (const auto pair = FindOverlap(extents)) {
    const BinCut& c = cuts[pair->second];
    r.error = BinEncodeError{.kind = BinEncodeErrorKind::kCutsOverlap,
                             .cut = pair->second,
                             .other_cut = pair->first,
                             .offset = c.offset,
                             .length = c.length};
    return r;
  }

  std::vector<uint8_t> out;
  try {
    out.resize(static_cast<size_t>(total));
  } catch (const std::bad_alloc&) {
    r.error = BinEncodeError{.kind = BinEncodeErrorKind::kOutOfMemory};
    return r;
  }
  uint8_t* p = out.data();
  std::memcpy(p, binhead::kSync, binhead::kSyncSize);
  bytes::StoreLe32(p + binhead::ImageStart, start);
  bytes::StoreLe32(p + binhead::ImageLength, length);
  p += binhead::kSize;
  for (const BinCut& c : cuts) {
    const std::span<const uint8_t> data = image.subspan(c.offset, c.length);
    bytes::StoreLe32(p + binrecord::Address, start + c.offset);
    bytes::StoreLe32(p + binrecord::Length, c.length);
    bytes::StoreLe32(p + binrecord::Checksum, BinChecksum(data));
    p += binrecord::kSize;
    if (c.length != 0) std::memcpy(p, data.data(), c.length);
    p += c.length;
  }
  bytes::StoreLe32(p + binrecord::Address, 0);
  bytes::StoreLe32(p + binrecord::Length, launch);
  bytes::StoreLe32(p + binrecord::Checksum, 0);
  r.bytes = std::move(out);
  return r;
}

}  // namespace rom
