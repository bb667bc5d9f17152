// Creation time of a file as the file system reports it, as a FILETIME.
#ifndef TARNWICK_FILEIO_CREATION_TIME_H_
#define TARNWICK_FILEIO_CREATION_TIME_H_

#include <cstdint>
#include <optional>
#include <string>

namespace fileio {

// The file's creation (birth) time; nullopt when the file system does not report one.
[[nodiscard]] std::optional<uint64_t> FileCreationTime(const std::string& path);

}  // namespace fileio

#endif  // TARNWICK_FILEIO_CREATION_TIME_H_
