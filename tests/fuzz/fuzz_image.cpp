// Fuzz target: an image of any bytes, loaded under either flash choice and preset, analysed,
// and then every editing action on a line picked from its memory map. The image must stay
// inside its buffer and ImageLength inside 0 .. BufferSize after each action.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "compress/rom_codec.h"
#include "rom/add_replace.h"
#include "rom/analysis.h"
#include "rom/delete.h"
#include "rom/edit_steps.h"
#include "rom/entry_edit.h"
#include "rom/export.h"
#include "rom/file_io.h"
#include "rom/hex_view.h"
#include "rom/rom_image.h"
#include "rom/selection.h"

namespace {

std::string g_small, g_large, g_out;

void Check(const rom::RomImage& image) {
  if (image.ImageLength < 0 || image.ImageLength > image.BufferSize) std::abort();
}

uint32_t Decompress(const uint8_t* src, uint32_t len, uint8_t* dst, uint32_t cap, uint32_t,
                    uint32_t, uint32_t) {
  return codec::DecompressRomStream(codec::PageReading::kEither, std::span(src, len),
                                    std::span(dst, cap));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const auto dir = std::filesystem::temp_directory_path();
  g_small = (dir / "fuzz_image_small.bin").string();
  g_large = (dir / "fuzz_image_large.bin").string();
  g_out = (dir / "fuzz_image_out.bin").string();
  const uint8_t small[5] = {1, 2, 3, 4, 5};
  (void)rom::WriteWholeFile(g_small, small, sizeof small);
  std::string large(70000, 'L');
  (void)rom::WriteWholeFile(g_large, reinterpret_cast<const uint8_t*>(large.data()), large.size());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  // The first bytes choose the flash size, the preset and the lines acted on. The buffer is
  // kept small (a file's size plus 64 or 128 KiB of fill, not 32 or 64 MiB) so that the
  // fuzzer runs fast; the code paths are the same.
  const bool flash64 = data[0] & 1;
  const uint8_t fill = (data[0] & 2) ? 0xFF : 0x00;
  const uint8_t pick = data[1];
  const uint8_t pick2 = data[2];
  data += 3;
  size -= 3;
  const size_t buffer = size + (flash64 ? (128u << 10) : (64u << 10));
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[buffer]);
  std::memcpy(bytes.get(), data, size);
  std::memset(bytes.get() + size, fill, buffer - size);
  rom::RomImage image;
  image.Adopt(std::move(bytes), static_cast<int32_t>(buffer), static_cast<int32_t>(size));
  rom::RomLists lists;
  rom::AnalyseImage(image, lists);
  if (lists.MemoryMap.empty()) return 0;

  const auto n = static_cast<int64_t>(lists.MemoryMap.size());
  auto line = [&](uint8_t p) { return static_cast<int64_t>(p) % n; };

  (void)rom::ClickOnMapLine(lists.MemoryMap, line(pick));
  const rom::ExportSelection sel = rom::SelectExportEntry(image, lists, true, -1, line(pick));
  if (sel.target) (void)rom::ExportEntry(image, *sel.target, g_out, pick2 & 1, Decompress);
  const rom::ExportSelection from_log = rom::SelectExportEntry(
      image, lists, false,
      static_cast<int64_t>(pick2) % static_cast<int64_t>(lists.AnalysisLog.size()), -1);
  if (from_log.target) (void)rom::ExportEntry(image, *from_log.target, g_out, true, Decompress);

  rom::HexViewState hex{image.Data(),
                        image.BufferSize,
                        static_cast<int32_t>(pick) * 16,
                        static_cast<int32_t>(pick2) * 16,
                        image.RomBase,
                        pick2,
                        pick};
  (void)rom::HexRowPieces(hex, pick2);
  (void)rom::ShowValue(hex, {rom::HexShowAs::kPChar, false, (pick & 1) != 0, false});

  rom::EditState edit;
  if (rom::EntryEditButtonClick(image, lists.MemoryMap, line(pick2), edit)) {
    (void)rom::EditOkButtonClick(image, lists, edit, "$FFFFFFFF", "-1", line(pick2));
  }
  Check(image);

  rom::DeleteClick del = rom::DeleteButtonClick(image, lists, line(pick), fill);
  if (del.show_block_warning) (void)rom::DeleteBlock(image, lists, line(pick), fill);
  Check(image);
  if (lists.MemoryMap.empty()) return 0;

  (void)rom::AddFile(image, lists, {(pick & 1) ? g_large : g_small, "added.bin", std::nullopt});
  Check(image);
  if (lists.MemoryMap.empty()) return 0;

  const int64_t at = static_cast<int64_t>(pick2) % static_cast<int64_t>(lists.MemoryMap.size());
  if (const auto plan = rom::PlanReplace(lists.MemoryMap, at)) {
    (void)rom::ReplaceFile(image, lists, *plan, (pick2 & 1) ? g_large : g_small, fill);
  }
  Check(image);
  rom::RefreshSecondPointer(image);
  return 0;
}
