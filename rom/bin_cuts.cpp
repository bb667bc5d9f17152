// Cutting an edited image into records along its stretches.
#include "rom/bin_cuts.h"

#include <algorithm>

namespace rom {

namespace {

// Bytes [begin, end) of the image.
struct Span64 {
  uint64_t begin;
  uint64_t end;
  bool small_gap;
};

}  // namespace

std::vector<BinCut> CutsForStretches(std::span<const Stretch> stretches, uint32_t image_length) {
  std::vector<Span64> spans;
  spans.reserve(stretches.size());
  for (const Stretch& s : stretches) {
    if (s.kind == StretchKind::kUnallocated) continue;
    uint64_t end = uint64_t{s.last} + 1;
    if (end == s.first) continue;                // empty: last = first - 1
    if (end < s.first) end = uint64_t{1} << 32;  // wraps: up to the end of the range
    end = std::min<uint64_t>(end, image_length);
    if (s.first >= end) continue;
    spans.push_back({s.first, end, s.kind == StretchKind::kSmallGap});
  }
  std::sort(spans.begin(), spans.end(), [](const Span64& a, const Span64& b) {
    return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
  });

  std::vector<BinCut> cuts;
  cuts.reserve(spans.size() + 2);
  auto emit = [&cuts](uint64_t begin, uint64_t end) {
    cuts.push_back({static_cast<uint32_t>(begin), static_cast<uint32_t>(end - begin)});
  };
  uint64_t covered = 0;  // every byte below this lies in an emitted cut or in `open`
  bool have_open = false;
  Span64 open{};
  for (const Span64& s : spans) {
    if (have_open) {
      if (s.begin < open.end || (s.begin == open.end && s.small_gap)) {
        open.end = std::max(open.end, s.end);
        continue;
      }
      emit(open.begin, open.end);
      covered = open.end;
    }
    if (s.begin > covered) emit(covered, s.begin);  // a hole no stretch lists
    open = s;
    have_open = true;
  }
  if (have_open) {
    emit(open.begin, open.end);
    covered = open.end;
  }
  if (covered < image_length) emit(covered, image_length);  // behind the last stretch
  return cuts;
}

std::vector<BinCut> CutsForImage(const RomImage& image) {
  const auto length = static_cast<uint32_t>(image.ImageLength());
  const std::optional<ImageStretches> stretches = StretchesOf(image);
  if (!stretches) return CutsForStretches({}, length);
  std::vector<Stretch> all = stretches->listed;
  if (stretches->leading_gap) all.push_back(*stretches->leading_gap);
  return CutsForStretches(all, length);
}

}  // namespace rom
