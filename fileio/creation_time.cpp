// Creation time lookup: statx on Linux, the directory search on Windows.
#include "fileio/creation_time.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace fileio {

std::optional<uint64_t> FileCreationTime(const std::string& path) {
#if defined(_WIN32)
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(path.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  FindClose(h);
  return (uint64_t{data.ftCreationTime.dwHighDateTime} << 32) | data.ftCreationTime.dwLowDateTime;
#elif defined(__linux__) && defined(STATX_BTIME)
  struct statx stx {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &stx) != 0) return std::nullopt;
  if ((stx.stx_mask & STATX_BTIME) == 0 || stx.stx_btime.tv_sec < -11644473600LL) {
    return std::nullopt;
  }
  // FILETIME counts 100 ns from 1601; the Unix epoch lies 11644473600 seconds later.
  const auto seconds = static_cast<uint64_t>(stx.stx_btime.tv_sec + 11644473600LL);
  return seconds * 10000000u + stx.stx_btime.tv_nsec / 100u;
#else
  (void)path;
  return std::nullopt;
#endif
}

}  // namespace fileio
