// Starting, and doing without, the threads that code pages.
#include "compress/page_threads.h"

#include <algorithm>
#include <atomic>
#include <vector>

// MinGW's compilers of the win32 thread model have no std::thread; the Windows programs built
// with them code on one thread.
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
#define TARNWICK_PAGE_THREADS 0
#else
#define TARNWICK_PAGE_THREADS 1
#include <system_error>
#include <thread>
#endif

namespace codec {

namespace {
constexpr uint32_t kPagesPerThread = 8;  // fewer pages than this per thread: one thread
constexpr unsigned kMaxThreads = 8;
std::atomic<unsigned> g_set_threads{0};
}  // namespace

void SetPageThreads(unsigned count) { g_set_threads = count; }

unsigned PageThreads(uint32_t pages) {
#if TARNWICK_PAGE_THREADS
  const unsigned set = g_set_threads;
  const unsigned want = set != 0 ? set : std::max(1u, std::thread::hardware_concurrency());
  return std::clamp<unsigned>(std::min<uint32_t>(want, pages / kPagesPerThread), 1, kMaxThreads);
#else
  (void)pages;
  return 1;
#endif
}

void RunOnThreads(unsigned count, const std::function<void(unsigned)>& work) {
#if TARNWICK_PAGE_THREADS
  std::vector<std::thread> threads;
  threads.reserve(count);
  unsigned started = 1;
  for (; started < count; ++started) {
    try {
      threads.emplace_back(work, started);
    } catch (const std::system_error&) {
      break;  // the rest is done here
    }
  }
  work(0);
  for (unsigned i = started; i < count; ++i) work(i);
  for (std::thread& t : threads) t.join();
#else
  for (unsigned i = 0; i < count; ++i) work(i);
#endif
}

}  // namespace codec
