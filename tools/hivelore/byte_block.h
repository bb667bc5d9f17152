// ByteBlock: one large block of memory that is not filled before use, the reading of a whole
// input file into one, and LargeAllocator, which gives the large arrays of the compiler the
// same kind of memory.
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
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fileio/file_io.h"

namespace hivelore {

// `size` bytes of undefined content, in large pages where the system has them; nullptr when
// the memory is not there. Given back with ReleaseLarge.
[[nodiscard]] void* AllocateLarge(size_t size);
void ReleaseLarge(void* p);

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

// An allocator for std::vector that takes its memory from AllocateLarge.
template <typename T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}  // NOLINT: converting, as allocators are
  [[nodiscard]] T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* p = AllocateLarge(n * sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) { ReleaseLarge(p); }
  template <typename U>
  bool operator==(const LargeAllocator<U>&) const {
    return true;
  }
};

template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

struct InputRead {
  ByteBlock block;  // exactly the file's bytes
  std::optional<fileio::Error> error;
};

// Reads the whole regular file at `path`; kTooLarge (nothing read) above `max_size` bytes.
[[nodiscard]] InputRead ReadInputFile(const std::string& path, uint64_t max_size);

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_BYTE_BLOCK_H_
