// Fuzz target: an image of any bytes, loaded under either flash choice and preset, analysed,
// and then every image operation on a line picked from its lists. After each operation the
// image must stay inside its buffer, and the edit property must hold: a refused edit leaves
// the image byte-identical; a done edit leaves every other file's stored bytes and name, and
// every module byte, where they were. An input that begins with the "B000FF" line is read as a
// record file and laid into the buffer first; the analysed image, cut along its map and written
// as records, must read back to the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "compress/rom_codec.h"
#include "rom/add_replace.h"
#include "rom/listing/analysis.h"
#include "rom/bin_cuts.h"
#include "rom/bin_records.h"
#include "rom/delete.h"
#include "rom/edit_steps.h"
#include "rom/entry_edit.h"
#include "rom/export.h"
#include "rom/rom_image.h"
#include "rom/listing/row_actions.h"
#include "tests/rom/edit_property.h"
#include "ui/presenter/hex_view.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckBounds(const rom::RomImage& image) {
  Check(image.ImageLength() >= 0 && image.ImageLength() <= image.BufferSize());
}

// After an edit: the property for a done edit, byte-identity for a refused one.
template <typename R>
void CheckEdit(const editprop::Snapshot& before, const rom::RomImage& image, const R& result,
               const std::function<std::optional<uint32_t>(uint32_t)>& new_index) {
  CheckBounds(image);
  const std::string fault = result.ok() ? editprop::CheckKept(before, image, new_index)
                                        : editprop::CheckUnchanged(before, image);
  Check(fault.empty());
}

std::optional<uint32_t> Same(uint32_t i) { return i; }

// The ROM-mode decompression, either page coding.
std::optional<uint32_t> Decompress(std::span<const uint8_t> src, std::span<uint8_t> dst) {
  const uint32_t n = codec::DecompressRomStream(codec::PageReading::kEither, src, dst);
  if (n == codec::kCodecFailure) return std::nullopt;
  return n;
}

// The image's bytes from a record file, over the fill; nullopt when the file is refused or its
// image is longer than the fuzzer's small buffers.
std::optional<std::vector<uint8_t>> FromRecords(const uint8_t* data, size_t size, uint8_t fill) {
  const std::span<const uint8_t> file(data, size);
  const rom::BinReadResult r = rom::ReadBinRecords(file);
  if (r.error || r.layout.length > (4u << 20)) return std::nullopt;
  std::vector<uint8_t> image(r.layout.length, fill);
  if (!rom::LayBinRecords(r.layout, file, image)) std::abort();
  return image;
}

// Saving the analysed image as records along its stretches must lose no byte.
void CheckRecordSave(const rom::RomImage& image) {
  const auto bytes = *image.Bytes(0, static_cast<uint64_t>(image.ImageLength()));
  const std::vector<rom::BinCut> cuts = rom::CutsForImage(image);
  const rom::BinEncodeResult e = rom::EncodeBinRecords(bytes, image.RomBase(), 0, cuts);
  if (e.error) return;  // e.g. a record at address 0, which the format cannot hold
  const rom::BinReadResult back = rom::ReadBinRecords(e.bytes);
  Check(!back.error);
  // Under two fills, so that a byte left out shows whatever it holds.
  for (const uint8_t fill : {uint8_t{0x00}, uint8_t{0xFF}}) {
    std::vector<uint8_t> laid(bytes.size(), fill);
    Check(rom::LayBinRecords(back.layout, e.bytes, laid) &&
          std::equal(laid.begin(), laid.end(), bytes.begin()));
  }
}

}  // namespace

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
  std::optional<std::vector<uint8_t>> records;
  if (rom::IsBinRecordFile(std::span<const uint8_t>(data, size))) {
    records = FromRecords(data, size, fill);
    if (!records) return 0;
    data = records->data();
    size = records->size();
  }
  const size_t buffer = size + (flash64 ? (128u << 10) : (64u << 10));
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[buffer]);
  if (size != 0) std::memcpy(bytes.get(), data, size);
  std::memset(bytes.get() + size, fill, buffer - size);
  rom::RomImage image;
  image.Adopt(std::move(bytes), static_cast<int32_t>(buffer), static_cast<int32_t>(size));
  rom::RomLists lists;
  rom::AnalyseImage(image, lists);
  if (lists.MemoryMap.empty()) return 0;
  CheckRecordSave(image);
  auto line = [&](uint8_t p) {
    return static_cast<int64_t>(p) % static_cast<int64_t>(lists.MemoryMap.size());
  };

  if (const auto entry = rom::EntryOfMapRow(lists, line(pick))) {
    (void)rom::ExportEntry(image, *entry, (pick2 & 1) != 0, Decompress);
  }
  const auto from_log = rom::EntryOfLogRow(
      lists, static_cast<int64_t>(pick2) % static_cast<int64_t>(lists.AnalysisLog.size()));
  if (from_log) (void)rom::ExportEntry(image, *from_log, true, Decompress);

  const auto view = image.Buffer();
  presenter::HexViewState hex{
      view.data(), image.BufferSize(), pick * 16, pick2 * 16, image.RomBase(), pick2, pick};
  (void)presenter::HexRowPieces(hex, pick2);
  (void)presenter::ShowValue(hex, {presenter::HexShowAs::kPChar, false, (pick & 1) != 0, false});

  if (const auto entry = rom::EntryOfMapRow(lists, line(pick2))) {
    const editprop::Snapshot before = editprop::Take(image);
    const auto set = rom::SetEntry(image, entry->index, 0xFFFFFFFF, 0xFFFFFFFF);
    CheckEdit(before, image, set, [&](uint32_t i) -> std::optional<uint32_t> {
      return i == entry->index ? std::nullopt : std::optional(i);
    });
    rom::AnalyseImage(image, lists);
    if (lists.MemoryMap.empty()) return 0;
  }

  {
    const rom::MapRow* chosen = lists.MapRowAt(line(pick));
    const editprop::Snapshot before = editprop::Take(image);
    if (const auto entry = rom::EntryOfMapRow(lists, line(pick))) {
      const auto removal = rom::DeleteFile(image, entry->index, fill);
      CheckEdit(before, image, removal, [&](uint32_t i) -> std::optional<uint32_t> {
        if (i == entry->index) return std::nullopt;
        return i < entry->index ? i : i - 1;
      });
    } else if (chosen->kind == rom::StretchKind::kFixedBlock) {
      const auto removal = rom::DeleteBlock(image, chosen->first, chosen->last, fill);
      CheckEdit(before, image, removal, Same);
    }
    rom::AnalyseImage(image, lists);
    if (lists.MemoryMap.empty()) return 0;
  }

  {
    const std::vector<uint8_t> added((pick & 1) ? 70000 : 5, 'L');
    const editprop::Snapshot before = editprop::Take(image);
    const auto result = rom::AddFile(image, "added.bin", added, 0);
    CheckEdit(before, image, result, Same);
    rom::AnalyseImage(image, lists);
    if (lists.MemoryMap.empty()) return 0;
  }

  if (const auto plan = rom::PlanReplace(lists, line(pick2))) {
    const std::vector<uint8_t> replacement((pick2 & 1) ? 70000 : 5, 'R');
    const editprop::Snapshot before = editprop::Take(image);
    const auto result = rom::ReplaceFile(image, *plan, replacement, fill);
    CheckEdit(before, image, result, [&](uint32_t i) -> std::optional<uint32_t> {
      return i == plan->entry ? std::nullopt : std::optional(i);
    });
    rom::AnalyseImage(image, lists);
  }
  rom::RefreshSecondPointer(image);
  CheckBounds(image);
  return 0;
}
