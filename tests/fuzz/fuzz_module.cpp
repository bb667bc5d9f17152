// Fuzz target: an image of any bytes, in a buffer of exactly its size; every module (up to 16)
// is read in each of the three e32_rom layouts, its stretches listed and, when it reads, rebuilt
// as a PE file.
// Stretches must lie in the buffer and agree with the read module; a rebuilt file must keep its
// sections inside itself, in ascending rva order, and below the size cap.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

#include "rom/export_all.h"
#include "rom/module_reader.h"
#include "rom/pe_builder.h"
#include "rom/rom_header.h"
#include "rom/rom_image.h"

namespace {

// Decodes nothing real: fails on an odd first byte, else copies what fits. Both outcomes and
// every length reach the rebuild.
std::optional<uint32_t> Decode(std::span<const uint8_t> in, std::span<uint8_t> out) {
  if (in.empty() || (in[0] & 1)) return std::nullopt;
  const size_t n = std::min(in.size() - 1, out.size());
  std::memcpy(out.data(), in.data() + 1, n);
  return static_cast<uint32_t>(n);
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1u << 24)) return 0;
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
  std::memcpy(bytes.get(), data, size);
  rom::RomImage image;
  image.Adopt(std::move(bytes), static_cast<int32_t>(size), static_cast<int32_t>(size));
  if (!rom::LocateRomHeader(image)) return 0;
  const rom::LayoutDetection detected = rom::DetectE32Layout(image);
  const uint16_t cpu = rom::RomCpuType(image).value_or(0);
  rom::ExportNames names;
  // Each rebuild may allocate and clear up to kMaxPeFileSize (the zero fill of sizes that a few
  // hostile bytes claim): a few modules keep an input well inside the time limit.
  const uint32_t modules = std::min<uint32_t>(image.ModuleCount(), 4);
  for (uint32_t i = 0; i < modules; ++i) {
    (void)rom::ReadModuleToRebuild(image, i, detected);
    for (const auto layout : rom::kE32Layouts) {
      const rom::Result<rom::ModuleInfo> r = rom::ReadModule(image, i, layout);
      const auto s = rom::ModuleStretches(image, i, layout);
      Check(r.ok() == s.ok());
      if (!r.ok()) continue;
      for (const rom::ModuleStretch& st : *s) {
        Check(st.length > 0 && image.Fits(st.offset, st.length));
      }
      if (!rom::UnsafeNameReason(r->name)) (void)names.Claim(r->name);
      const rom::Result<rom::PeFile> pe = rom::BuildPeFile(image, *r, cpu, Decode);
      if (!pe.ok()) continue;
      Check(pe->bytes.size() <= rom::kMaxPeFileSize);
      uint64_t previous = 0;
      for (const rom::PeSection& sec : pe->sections) {
        Check(uint64_t{sec.raw_offset} + sec.raw_size <= pe->bytes.size());
        Check(sec.rva >= previous);
        previous = uint64_t{sec.rva} + std::max(sec.virtual_size, 1u);
      }
    }
  }
  return 0;
}
