// Work spread over the machine's cores: the pages of a stream are coded independently of each
// other, so several can be coded at once and the stream stays the same on any number of them.
#ifndef TARNWICK_COMPRESS_PAGE_THREADS_H_
#define TARNWICK_COMPRESS_PAGE_THREADS_H_

#include <cstdint>
#include <functional>

namespace codec {

// How many threads code `pages` pages: 1 for short streams, where starting threads costs more
// than it saves, and where the toolchain has no threads; else the machine's cores (or the
// number set below), at most 8.
[[nodiscard]] unsigned PageThreads(uint32_t pages);

// Sets how many threads long streams are coded on from now on (0: the machine's cores). For
// measuring one core's speed and for checking that the count changes no stream.
void SetPageThreads(unsigned count);

// Runs work(0) to work(count - 1), each on its own thread (work(0) on the calling one), and
// returns when all have ended. A thread that cannot be started has its work done on the calling
// thread instead, so every part is done whatever the system allows.
void RunOnThreads(unsigned count, const std::function<void(unsigned)>& work);

}  // namespace codec

#endif  // TARNWICK_COMPRESS_PAGE_THREADS_H_
