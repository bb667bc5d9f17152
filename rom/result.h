// Results of the core's operations: what an operation did, or why it failed or refused.
//
// Loading and saving an image, reading a module, rebuilding it as a PE file, editing and
// exporting all return a Result<T>: the value, or an Error with a kind that callers decide on
// and the data its message needs. Message() gives the words a person reads (UTF-8), the same in
// the window and on the console. A refused edit has changed nothing in the image.
#ifndef TARNWICK_ROM_RESULT_H_
#define TARNWICK_ROM_RESULT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "rom/bin_records.h"

namespace rom {

enum class ErrorKind {
  // Loading and saving a file.
  kFile,               // the file system refused: `reason` in its words, naming the file
  kFileTooLarge,       // the file at `path` has `size` bytes, more than a load's largest buffer
  kOutOfMemory,        // no memory for a buffer of `size` bytes for the file at `path`
  kRecords,            // the record file at `path` is refused: `records` says why
  kNothingLoaded,      // there is no image to save
  kRecordsNotWritten,  // the image cannot be written as a record file to `path` (`reason`)

  // Reading module `module` (`name`); `reason` names the part, where it lies and why.
  kNoSuchModule,     // the index is not below ModuleCount
  kNameOutside,      // the name's address lies outside the buffer
  kE32Outside,       // the e32_rom header does not lie wholly in the buffer
  kTooManySections,  // e32_objcnt above kMaxModuleSections
  kO32Outside,       // the o32_rom table does not lie wholly in the buffer
  kSectionOutside,   // the stored bytes of `section` do not lie wholly in the buffer

  // Rebuilding module `module` as a PE file; `reason` names the section and why.
  kNoSections,       // e32_objcnt is 0: there is nothing to rebuild
  kStoredBytesGone,  // the stored bytes of `section` no longer lie in the buffer
  kNoDecompressor,   // `section` is compressed and no decompression is available
  kCorruptSection,   // `section`'s stream could not be decoded into o32_vsize bytes
  kPeTooLarge,       // the file would exceed kMaxPeFileSize, or memory ran out
  kNoRoom,           // the sections reach past the 32-bit address space
  kLayoutUndecided,  // the image's e32_rom layout could not be decided
  kE32Misfit,        // the e32_rom header does not fit the image's layout

  // Edits and exports.
  kNoHeader,          // no ROM header was found in the image
  kTablesNotListed,   // a table is not listed whole: entries past the buffer or the limit
  kOutsideImage,      // the stretch [first, last] does not lie in the image (length in `size`)
  kProtected,         // the stretch would remove or overwrite `structure` at `first`
  kModuleBehind,      // module `name` has its `module_part` at `first`, which the edit would
                      // shift or overwrite
  kModuleUnreadable,  // module `name`'s `module_part` cannot be read: nothing may move
  kEntryInside,       // file `name` has its `entry_part` at `first`, inside the stretch removed
                      // or overwritten
  kDoesNotFit,        // the result does not fit the buffer of `size` bytes
  kRoomTooSmall,      // a fixed block follows and the new bytes need more than the room
  kModuleRoomTooSmall,  // module `name` has its `module_part` at `first` behind the file, so
                        // nothing may move, and the `size` new bytes need more than the room
                        // of `last` bytes
  kNotCompressible,   // `size` bytes cannot be stored as a stream of the coding `reason`
                      // (empty: no compression is available)
  kPastRamStart,      // the image would end at address `last`, past RAM Start at `first`
  kDataBehindTable,   // the new entry would overwrite data behind the file table at `first`
  kBadName,           // the name cannot be stored: `name_fault` (and `code_point`)
  kNoEntry,           // the entry (`first`) does not exist (any more)
  kNotAFile,          // the selected row is not a file entry's row (nor, to delete, a fixed
                      // block)
  kFixedBlockBehind,  // a fixed block follows the file at `first`: it cannot be deleted
  kDecompression,     // the stored bytes of `name` do not decompress to its real size
  kModuleExport,      // module `name` cannot be rebuilt (`reason`)
  kBadFieldValue,     // a typed value is not a number in its field's range (`reason`)
};

// The structures of the image that no edit may remove or overwrite.
enum class Structure { kSignatureBlock, kSecondPointer, kRomHeader, kModuleTable, kFileTable };

// The parts of a module that occupy the buffer.
enum class ModulePart {
  kName,         // its name, with the 0 byte when there is one
  kE32Header,    // its e32_rom header
  kO32Table,     // its o32_rom records
  kSectionData,  // the stored bytes of a section (`section`, when known)
};

// The parts of a file entry that lie in the image.
enum class EntryPart { kData, kName };

// Why a name cannot be stored in the image.
enum class NameFault {
  kEmpty,             // there is no name
  kInvalidUtf8,       // it is not valid UTF-8
  kControlCharacter,  // it holds control character `code_point`
  kUnmappable,        // it holds `code_point`, which Windows-1252 cannot hold
};

struct Error {
  ErrorKind kind = ErrorKind::kNoHeader;
  std::string name;  // the entry or module concerned (Windows-1252 bytes from the image)
  std::string path;  // the file concerned
  // The words of another layer that say why: the file system's, or a module reading's or
  // rebuild's (which name the part, section and offsets).
  std::string reason;
  std::optional<BinError> records;  // why a record file was refused
  Structure structure = Structure::kSignatureBlock;
  ModulePart module_part = ModulePart::kName;
  EntryPart entry_part = EntryPart::kData;
  NameFault name_fault = NameFault::kEmpty;
  char32_t code_point = 0;
  std::optional<uint32_t> module;   // module index
  std::optional<uint32_t> section;  // o32_rom index
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t size = 0;
  // A load that failed after it had decided the buffer's size: that size.
  std::optional<int32_t> buffer_size;

  [[nodiscard]] std::string Message() const;
};

// The value of a successful operation, or the error.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}      // NOLINT: implicit on purpose
  Result(Error error) : v_(std::move(error)) {}  // NOLINT
  [[nodiscard]] bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  [[nodiscard]] T& value() { return std::get<0>(v_); }
  [[nodiscard]] const T& value() const { return std::get<0>(v_); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  [[nodiscard]] const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

struct Done {};

}  // namespace rom

#endif  // TARNWICK_ROM_RESULT_H_
