// Export of a file entry's stored or decompressed bytes.
#include "rom/export.h"

#include "rom/cp1252.h"
#include "rom/module_reader.h"
#include "rom/pe_builder.h"
#include "rom/rom_header.h"
#include "rom/text_format.h"

namespace rom {

namespace {

Result<Exported> ExportModule(const RomImage& image, uint32_t index, const std::string& name,
                              const Decompressor& decompress) {
  auto refused = [&name](std::string why) {
    return EditError{.kind = Refusal::kModuleExport, .name = name, .what = std::move(why)};
  };
  const LayoutDetection layout = DetectE32Layout(image);
  const ModuleReadResult read = ReadModule(image, index, layout.layout);
  if (!read.ok()) return refused(read.problem.message);
  const auto cpu = RomCpuType(image);
  if (!cpu) return refused("kein ROM Header");
  PeBuildResult pe = BuildPeFile(image, *read.module, *cpu, decompress);
  if (!pe.ok()) return refused(pe.problem.message);
  Exported out;
  out.bytes = std::move(pe.pe->bytes);
  out.details.push_back(layout.log_line);
  out.details.insert(out.details.end(), pe.pe->log.begin(), pe.pe->log.end());
  return out;
}

}  // namespace

std::string EntryName(const RomImage& image, const EntryRef& entry) {
  if (entry.kind == EntryRef::Kind::kModule) {
    const auto m = ModuleEntry(image, entry.index);
    return m ? image.ReadRomString(m->Get(tocentry::lpszFileName)) : std::string();
  }
  const auto f = FileEntry(image, entry.index);
  return f ? image.ReadRomString(f->Get(filesentry::lpszFileName)) : std::string();
}

Result<Exported> ExportEntry(const RomImage& image, const EntryRef& ref, bool raw,
                             const Decompressor& decompress) {
  const std::string name = EntryName(image, ref);
  if (ref.kind == EntryRef::Kind::kModule) return ExportModule(image, ref.index, name, decompress);
  const auto entry = FileEntry(image, ref.index);
  if (!entry) return EditError{.kind = Refusal::kNoEntry, .first = ref.index};

  const uint32_t offset = OffsetOf(image, entry->Get(filesentry::ulLoadOffset));
  const uint32_t comp = entry->Get(filesentry::nCompFileSize);
  const uint32_t real = entry->Get(filesentry::nRealFileSize);
  const bool compressed = (entry->Get(filesentry::dwFileAttributes) & kAttrCompressed) != 0;
  const uint32_t stored = raw || compressed ? comp : real;
  const auto bytes = image.Bytes(offset, stored);
  if (!bytes) {
    return EditError{.kind = Refusal::kOutsideImage,
                     .name = name,
                     .first = offset,
                     .last = uint64_t{offset} + stored - 1,
                     .size = static_cast<uint32_t>(image.ImageLength())};
  }
  Exported out;
  if (raw || !compressed) {
    out.bytes.assign(bytes->begin(), bytes->end());
    return out;
  }
  // The output area is the real size and 4096 bytes more: a stream that gives more than the
  // real size is refused, not cut.
  const EditError failed{.kind = Refusal::kDecompression, .name = name};
  if (real > static_cast<uint64_t>(kMaxBufferSize) || !decompress) return failed;
  out.bytes.resize(size_t{real} + 4096);
  const auto result = decompress(*bytes, out.bytes);
  if (!result || *result != real) return failed;
  out.bytes.resize(real);
  out.decompressed = true;
  return out;
}

}  // namespace rom
