// Results of the image operations: what an operation did, or why it refused.
//
// A refusal is a value with a kind and the data its message needs; Message() gives the words a
// person reads (UTF-8), the same in the window and on the console. A refused operation has
// changed nothing in the image.
#ifndef TARNWICK_ROM_EDIT_RESULT_H_
#define TARNWICK_ROM_EDIT_RESULT_H_

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

namespace rom {

enum class Refusal {
  kNoHeader,          // no ROM header was found in the image
  kTablesNotListed,   // a table is not listed whole: entries past the buffer or the limit
  kOutsideImage,      // the stretch [first, last] does not lie in the image (length in `size`)
  kProtected,         // the stretch would remove or overwrite `what` (signature block, header,
                      // module table, file table) at `first`
  kModuleBehind,      // module `name` has its `what` at `first`, which the move would shift
  kModuleUnreadable,  // module `name`'s headers cannot be read (`what`): nothing may move
  kEntryInside,       // file `name` has its `what` at `first`, inside the stretch removed or
                      // overwritten
  kDoesNotFit,        // the result does not fit the buffer of `size` bytes
  kRoomTooSmall,      // a fixed block follows and the new bytes need more than the room
  kDataBehindTable,   // the new entry would overwrite data behind the file table at `first`
  kBadName,           // the name holds a character that cannot be stored (`what`)
  kNoEntry,           // the entry (`first`) does not exist (any more)
  kNotAFile,          // the selected row is not a file entry's row (nor, to delete, a fixed
                      // block)
  kFixedBlockBehind,  // a fixed block follows the file at `first`: it cannot be deleted
  kDecompression,     // the stored bytes of `name` do not decompress to its real size
  kModuleExport,      // module `name` cannot be rebuilt (`what`)
};

struct EditError {
  Refusal kind = Refusal::kNoHeader;
  std::string name;  // the entry or module concerned (Windows-1252 bytes from the image)
  std::string what;  // which structure, character or reason
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t size = 0;

  [[nodiscard]] std::string Message() const;
};

// The value of a successful operation, or the refusal.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}          // NOLINT: implicit on purpose
  Result(EditError error) : v_(std::move(error)) {}  // NOLINT
  [[nodiscard]] bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  [[nodiscard]] T& value() { return std::get<0>(v_); }
  [[nodiscard]] const T& value() const { return std::get<0>(v_); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  [[nodiscard]] const EditError& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, EditError> v_;
};

struct Done {};

}  // namespace rom

#endif  // TARNWICK_ROM_EDIT_RESULT_H_
