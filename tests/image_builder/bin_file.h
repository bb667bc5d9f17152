// Record files ("B000FF", nk.bin style) made from built flat images, for tests and benchmarks.
//
// Written here independently of rom/, so that tests of the reader and the encoder do not check
// the code against itself.
#ifndef TARNWICK_TESTS_IMAGE_BUILDER_BIN_FILE_H_
#define TARNWICK_TESTS_IMAGE_BUILDER_BIN_FILE_H_

#include <cstdint>
#include <vector>

#include "tests/image_builder/image_builder.h"

namespace testimg {

// Bytes [offset, offset + length) of the flat image, written as one record.
struct RecordCut {
  uint32_t offset = 0;
  uint32_t length = 0;
};

// The record file of `image` loaded at address `start`: the head ("B000FF", a line feed,
// start, image.size()), one record per cut in the order given (address start + offset, its
// length, the sum of its bytes, the bytes), and the end record (0, `launch`, 0). Cuts are
// written as given, overlapping or not. Throws std::out_of_range for a cut outside the image.
[[nodiscard]] Bytes BinFile(const Bytes& image, uint32_t start, uint32_t launch,
                            const std::vector<RecordCut>& cuts);

// Cuts of `piece` bytes from `from` up to `to` (the last one shorter when it does not divide).
[[nodiscard]] std::vector<RecordCut> EvenCuts(uint32_t from, uint32_t to, uint32_t piece);

}  // namespace testimg

#endif  // TARNWICK_TESTS_IMAGE_BUILDER_BIN_FILE_H_
