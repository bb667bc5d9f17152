// RegistryImage: the whole precompiled registry file in memory, its readers and the record walk.
//
// Reads at or beyond the file's size give zero bytes, so short or cut-off data never fails: a
// string without its terminator ends at the zeros past the end at the latest. Every record
// moves the cursor forward by at least 4 bytes, so the walk ends on any input.
#ifndef TARNWICK_TOOLS_HIVELORE_REGISTRY_IMAGE_H_
#define TARNWICK_TOOLS_HIVELORE_REGISTRY_IMAGE_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/hivelore/byte_block.h"
#include "tools/hivelore/record_sink.h"
#include "tools/hivelore/registry_layout.h"

namespace hivelore {

class RegistryImage {
 public:
  // Takes the whole file; the cursor goes to 0.
  void LoadBytes(std::vector<uint8_t> bytes);
  void LoadBlock(ByteBlock block);

  // Reads one u32 at the cursor and compares it with the signature.
  [[nodiscard]] bool CheckSignature();
  uint16_t ReadU16();
  uint32_t ReadU32();
  // UTF-16LE units up to the unit 0x0000 (consumed); each unit gives its low byte.
  std::string ReadWideString();
  // One byte without moving the cursor; zero past the end of the file.
  [[nodiscard]] uint8_t ByteAt(int64_t offset) const {
    return offset >= 0 && offset < size() ? bytes_[static_cast<size_t>(offset)] : uint8_t{0};
  }

  // Hands every key and value record to `sink`, from the cursor to the end of the file. A key
  // record that fits the older layout exactly (path length and a zero word before the path)
  // is read in that layout; any other in the current one. A value's data is handed over as the
  // rest of the file behind its name. Ends early once the sink is stopped.
  void WalkRecords(RecordSink& sink);

  // True when the first key record behind the cursor is in the older layout; false when it is
  // in the current one or there is none. Moves the cursor to the end of the file.
  [[nodiscard]] bool FirstKeyHasOlderLayout();

  [[nodiscard]] int64_t size() const { return static_cast<int64_t>(bytes_.size()); }
  [[nodiscard]] std::span<const uint8_t> bytes() const { return bytes_; }
  [[nodiscard]] int64_t cursor() const { return cursor_; }

 private:
  // The u16 at `offset`, zero bytes past the end.
  [[nodiscard]] uint16_t U16At(int64_t offset) const;
  // True when the key record whose body begins at body_start_ fits the older layout exactly:
  // a zero word at offset 4, a length n >= 1 at offset 2, a body of 6 + 2n bytes and the
  // unit n from offset 6 zero.
  [[nodiscard]] bool HasOlderKeyLayout(uint16_t body_length) const;

  std::vector<uint8_t> owned_;
  ByteBlock block_;
  std::span<const uint8_t> bytes_;  // owned_ or block_
  int64_t cursor_ = 0;
  int64_t body_start_ = 0;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_REGISTRY_IMAGE_H_
