// Export of a file entry's stored or decompressed bytes.
#include "rom/export.h"

#include <new>

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
    return Error{.kind = ErrorKind::kModuleExport, .name = name, .reason = std::move(why)};
  };
  const LayoutDetection layout = DetectE32Layout(image);
  const Result<ModuleInfo> read = ReadModuleToRebuild(image, index, layout);
  if (!read) return refused(read.error().Message());
  const auto cpu = RomCpuType(image);
  if (!cpu) return refused("kein ROM Header");
  Result<PeFile> pe = BuildPeFile(image, *read, *cpu, decompress);
  if (!pe) return refused(pe.error().Message());
  Exported out;
  out.bytes = std::move(pe->bytes);
  out.details.push_back(layout.log_line);
  out.details.insert(out.details.end(), pe->log.begin(), pe->log.end());
  return out;
}

}  // namespace

Result<std::vector<uint8_t>> DecompressFile(std::span<const uint8_t> stored, uint32_t real_size,
                                            const Decompressor& decompress,
                                            const std::string& name) {
  auto failed = [&name](std::string why) {
    return Error{.kind = ErrorKind::kDecompression, .name = name, .reason = std::move(why)};
  };
  if (!decompress) return failed("no decompression available");
  if (real_size > kMaxExportFileSize) {
    return failed("nRealFileSize " + std::to_string(real_size) + " is above the " +
                  std::to_string(kMaxExportFileSize >> 20) + " MiB a compressed file can hold");
  }
  std::vector<uint8_t> out;
  try {
    out.resize(real_size);
  } catch (const std::bad_alloc&) {
    return failed("out of memory for " + std::to_string(real_size) + " bytes");
  }
  const auto written = decompress(stored, out);
  if (!written) {
    return failed("the stream is not valid or holds more than nRealFileSize (" +
                  std::to_string(real_size) + " bytes)");
  }
  if (*written != real_size) {
    return failed("it decodes to " + std::to_string(*written) + " bytes, nRealFileSize is " +
                  std::to_string(real_size));
  }
  return out;
}

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
  if (!entry) return Error{.kind = ErrorKind::kNoEntry, .first = ref.index};

  const uint32_t offset = OffsetOf(image, entry->Get(filesentry::ulLoadOffset));
  const uint32_t comp = entry->Get(filesentry::nCompFileSize);
  const uint32_t real = entry->Get(filesentry::nRealFileSize);
  const bool compressed = (entry->Get(filesentry::dwFileAttributes) & kAttrCompressed) != 0;
  const uint32_t stored = raw || compressed ? comp : real;
  const auto bytes = image.Bytes(offset, stored);
  if (!bytes) {
    return Error{.kind = ErrorKind::kOutsideImage,
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
  Result<std::vector<uint8_t>> decompressed = DecompressFile(*bytes, real, decompress, name);
  if (!decompressed) return decompressed.error();
  out.bytes = std::move(*decompressed);
  out.decompressed = true;
  return out;
}

}  // namespace rom
