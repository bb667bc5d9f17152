// ByteBlock: one large block of memory that is not filled before use, and the reading of a whole
// input file into one.
//
// Hivelore holds its whole input (a registry of up to 16 MiB, or registry text) and the file it
// compiles in memory. Filling such a block with zeros first and then faulting it in 4 KiB page by
// page took longer than converting its bytes, so a block is handed out as it comes from the
// system, and on Linux it asks for large pages. Whoever fills a block writes every byte it later
// reads.
#ifndef TARNWICK_TOOLS_HIVELORE_BYTE_BLOCK_H_
#define TARNWICK_TOOLS_HIVELORE_BYTE_BLOCK_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "fileio/file_io.h"

namespace hivelore {

class ByteBlock {
 public:
  ByteBlock() = default;

  // A block of `size` bytes with undefined content; nothing when the memory is not there.
  [[nodiscard]] static std::optional<ByteBlock> Allocate(size_t size);

  [[nodiscard]] uint8_t* data() { return data_.get(); }
  [[nodiscard]] const uint8_t* data() const { return data_.get(); }
  [[nodiscard]] size_t size() const { return size_; }
  [[nodiscard]] std::span<const uint8_t> bytes() const { return {data_.get(), size_}; }

 private:
  struct Release {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t, Release> data_;
  size_t size_ = 0;
};

struct InputRead {
  ByteBlock block;  // exactly the file's bytes
  std::optional<fileio::Error> error;
};

// Reads the whole regular file at `path`; kTooLarge (nothing read) above `max_size` bytes.
[[nodiscard]] InputRead ReadInputFile(const std::string& path, uint64_t max_size);

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_BYTE_BLOCK_H_
