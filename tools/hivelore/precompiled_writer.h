// PrecompiledWriter: builds a precompiled registry file ("default.fdf") from keys and values,
// one record each in the order they come.
//
// The fields that the reader does not use are filled as real files fill them: the header word
// holds the file's length, a key record's unused word the path's length in UTF-16 units plus
// one, a value record's unused word the name's units plus one. So a file that Hivelore turned
// into text compiles back to the same bytes. Key records take the current layout (root, path
// length, path) or the older one of earlier platform generations (root, path length, a zero
// word, path).
#ifndef TARNWICK_TOOLS_HIVELORE_PRECOMPILED_WRITER_H_
#define TARNWICK_TOOLS_HIVELORE_PRECOMPILED_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "tools/hivelore/byte_block.h"
#include "tools/hivelore/registry_entries.h"
#include "tools/hivelore/registry_layout.h"

namespace hivelore {

enum class KeyLayout { kCurrent, kOlder };

class PrecompiledWriter final : public EntrySink {
 public:
  // A file of at most `limit` bytes; by default the most that Hivelore reads.
  explicit PrecompiledWriter(KeyLayout layout,
                             size_t limit = static_cast<size_t>(kMaxRegistryFileSize));

  // Refused: a path with a zero byte (it would end the path) or too long for a record.
  [[nodiscard]] Refusal AddKey(const KeyEntry& key) override;
  // Refused: a name with a zero byte, or name and data too long for a record.
  [[nodiscard]] Refusal AddValue(const ValueEntry& value) override;
  // Makes room at once for what text of `size` bytes usually holds.
  void ReserveForText(size_t size);

  // The whole file, valid while the writer lives; empty when there was no memory for it.
  [[nodiscard]] std::span<const uint8_t> Finish();

 private:
  // Room for `n` more bytes; nullptr when the file would pass the limit or memory is short.
  uint8_t* Grow(size_t n);
  // A block of `capacity` bytes that holds what was written; false when memory is short.
  bool Reserve(size_t capacity);
  [[nodiscard]] Refusal TooLarge() const;

  KeyLayout layout_;
  size_t limit_;
  ByteBlock block_;
  size_t capacity_ = 0;
  size_t size_ = 0;
  bool out_of_memory_ = false;
};

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_PRECOMPILED_WRITER_H_
