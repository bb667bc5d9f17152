// Allocation of unfilled blocks, with large pages where the system offers them.
#include "tools/hivelore/byte_block.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace hivelore {

namespace {

#if defined(__linux__)
constexpr size_t kLargePage = size_t{2} << 20;
#endif

}  // namespace

void* AllocateLarge(size_t size) {
#if defined(__linux__)
  if (size >= kLargePage) {
    // Whole large pages: a 16 MiB block then costs 8 page faults instead of 4096.
    void* p = nullptr;
    const size_t rounded = (size + kLargePage - 1) & ~(kLargePage - 1);
    if (rounded < size || posix_memalign(&p, kLargePage, rounded) != 0) return nullptr;
    madvise(p, rounded, MADV_HUGEPAGE);  // advice only: without it the block works the same
    return p;
  }
#endif
  return std::malloc(size == 0 ? 1 : size);
}

void ReleaseLarge(void* p) { std::free(p); }

void ByteBlock::Release::operator()(uint8_t* p) const { ReleaseLarge(p); }

std::optional<ByteBlock> ByteBlock::Allocate(size_t size) {
  void* p = AllocateLarge(size);
  if (p == nullptr) return std::nullopt;
  ByteBlock block;
  block.data_.reset(static_cast<uint8_t*>(p));
  block.size_ = size;
  return block;
}

InputRead ReadInputFile(const std::string& path, uint64_t max_size) {
  InputRead r;
  fileio::OpenResult opened = fileio::OpenForReading(path);
  if (opened.error) {
    r.error = std::move(opened.error);
    return r;
  }
  const uint64_t size = opened.file.size();
  if (size > max_size) {
    r.error = fileio::Error{fileio::ErrorKind::kTooLarge, path, 0, size};
    return r;
  }
  std::optional<ByteBlock> block = ByteBlock::Allocate(static_cast<size_t>(size));
  if (!block) {
    r.error = fileio::Error{fileio::ErrorKind::kSystem, path, ENOMEM, 0};
    return r;
  }
  if (auto e = opened.file.ReadExactly(std::span<uint8_t>(block->data(), block->size()))) {
    r.error = std::move(e);
    return r;
  }
  r.block = std::move(*block);
  return r;
}

}  // namespace hivelore
