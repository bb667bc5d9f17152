// The demo image: a small ROM with modules, a dozen files and gaps of every kind.
#ifndef TARNWICK_TESTS_IMAGE_BUILDER_DEMO_IMAGE_H_
#define TARNWICK_TESTS_IMAGE_BUILDER_DEMO_IMAGE_H_

#include <functional>

#include "tests/image_builder/image_builder.h"

namespace testimg {

// Compresses a file's content for an entry with the C bit; nullopt leaves it stored as it is.
using Compressor = std::function<std::optional<Bytes>(const Bytes&)>;

// Three modules, twelve files (names with characters above 0x7F, compressed and uncompressed
// entries, names in front of their data and elsewhere), a leading gap, fixed blocks, small
// gaps, touching stretches and the unallocated tail.
[[nodiscard]] Bytes DemoImage(const Compressor& compress);

}  // namespace testimg

#endif  // TARNWICK_TESTS_IMAGE_BUILDER_DEMO_IMAGE_H_
