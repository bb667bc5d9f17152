// The stretches of an image and the gaps between them.
#include "rom/image_stretches.h"

#include <algorithm>
#include <numeric>

#include "rom/rom_header.h"

namespace rom {

namespace {

bool FirstLastLess(const Stretch& a, const Stretch& b) {
  return a.first != b.first ? a.first < b.first : a.last < b.last;
}

// The gaps between the stretches of `listed` that follow each other in (first, last) order:
// from behind the one to the start of the next, when that leaves at least one byte between them
// (read as a signed distance, so that a stretch running past the end of the 32-bit range leaves
// no gap in front of a lower one).
std::vector<Stretch> GapsBetween(const std::vector<Stretch>& listed) {
  std::vector<size_t> order(listed.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&listed](size_t a, size_t b) { return FirstLastLess(listed[a], listed[b]); });
  std::vector<Stretch> gaps;
  for (size_t k = 1; k < order.size(); ++k) {
    const uint32_t end_before = listed[order[k - 1]].last;
    const uint32_t next_start = listed[order[k]].first;
    const auto size = static_cast<int32_t>(next_start - end_before - 1u);
    if (size <= 0) continue;
    gaps.push_back({end_before + 1, next_start - 1,
                    size >= 4 ? StretchKind::kFixedBlock : StretchKind::kSmallGap, std::nullopt});
  }
  return gaps;
}

}  // namespace

std::optional<ImageStretches> StretchesOf(const RomImage& image) {
  if (!image.RomHeaderInBuffer()) return std::nullopt;
  ImageStretches out;
  std::vector<Stretch>& listed = out.listed;
  listed.reserve(size_t{image.FileCount()} * 4 + 2);
  const uint32_t header = image.RomHeaderOffset();
  const auto block_end =
      static_cast<uint32_t>(TablesEnd(header, image.ModuleCount(), image.FileCount()) - 1);
  listed.push_back({header, block_end, StretchKind::kHeader, std::nullopt});
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    const FileStretch st = FileStretchOf(image, i);
    const uint32_t name_length =
        image.RomStringLength(FileEntry(image, i)->Get(filesentry::lpszFileName));
    listed.push_back(
        {st.data_offset, st.data_offset + st.data_length - 1, StretchKind::kFileData, i});
    listed.push_back({st.name_offset, st.name_offset + name_length, StretchKind::kFileName, i});
  }
  const std::vector<Stretch> gaps = GapsBetween(listed);
  listed.insert(listed.end(), gaps.begin(), gaps.end());

  const auto lowest =
      std::min_element(listed.begin(), listed.end(),
                       [](const Stretch& a, const Stretch& b) { return a.first < b.first; });
  // An empty leading gap (the lowest stretch starts at 0) is not listed: it would offer an empty
  // block for deletion.
  if (lowest->first != 0) {
    out.leading_gap = Stretch{0, lowest->first - 1, StretchKind::kFixedBlock, std::nullopt};
  }
  const auto highest = std::max_element(listed.begin(), listed.end(), FirstLastLess);
  out.unallocated = {highest->last + 1, static_cast<uint32_t>(image.BufferSize()) - 1,
                     StretchKind::kUnallocated, std::nullopt};
  return out;
}

}  // namespace rom
