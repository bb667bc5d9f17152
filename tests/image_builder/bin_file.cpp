// BinFile: a flat test image written as a record file.
#include "tests/image_builder/bin_file.h"

#include <algorithm>
#include <stdexcept>

namespace testimg {

namespace {

void Append32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

Bytes BinFile(const Bytes& image, uint32_t start, uint32_t launch,
              const std::vector<RecordCut>& cuts) {
  Bytes out = BytesOf("B000FF\n");
  Append32(out, start);
  Append32(out, static_cast<uint32_t>(image.size()));
  for (const RecordCut& c : cuts) {
    if (c.offset > image.size() || c.length > image.size() - c.offset) {
      throw std::out_of_range("BinFile: cut outside the image");
    }
    const auto first = image.begin() + c.offset;
    uint32_t sum = 0;
    for (auto it = first; it != first + c.length; ++it) sum += *it;
    Append32(out, start + c.offset);
    Append32(out, c.length);
    Append32(out, sum);
    out.insert(out.end(), first, first + c.length);
  }
  Append32(out, 0);
  Append32(out, launch);
  Append32(out, 0);
  return out;
}

std::vector<RecordCut> EvenCuts(uint32_t from, uint32_t to, uint32_t piece) {
  if (piece == 0) throw std::invalid_argument("EvenCuts: pieces of 0 bytes");
  std::vector<RecordCut> cuts;
  for (uint32_t at = from; at < to; at += std::min(piece, to - at)) {
    cuts.push_back({at, std::min(piece, to - at)});
  }
  return cuts;
}

}  // namespace testimg
