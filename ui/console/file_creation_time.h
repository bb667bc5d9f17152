// Creation time of a file as the file system reports it, as a FILETIME.
#ifndef TARNWICK_UI_CONSOLE_FILE_CREATION_TIME_H_
#define TARNWICK_UI_CONSOLE_FILE_CREATION_TIME_H_

#include <cstdint>
#include <optional>
#include <string>

namespace console {

// The file's creation (birth) time; nullopt when the file system does not report one.
[[nodiscard]] std::optional<uint64_t> FileCreationTime(const std::string& path);

}  // namespace console

#endif  // TARNWICK_UI_CONSOLE_FILE_CREATION_TIME_H_
