// Choosing the coding of a replaced file's stream, and the stream itself.
#include "rom/stored_form.h"

#include "rom/cp1252.h"
#include "rom/module_reader.h"
#include "rom/rom_header.h"

namespace rom {

const char* CodingName(StreamCoding coding) {
  return coding == StreamCoding::kLz77 ? "LZ77" : "LZX";
}

namespace {

constexpr StreamCoding kCodings[] = {StreamCoding::kLzx, StreamCoding::kLz77};

// The coding every page of `stream` is of; nullopt when it decodes in neither.
std::optional<StreamCoding> CodingOfStream(std::span<const uint8_t> stream,
                                           const StreamCodec& codec) {
  if (!codec.decode) return std::nullopt;
  for (StreamCoding coding : kCodings) {
    if (codec.decode(coding, stream)) return coding;
  }
  return std::nullopt;
}

// The stored bytes of file entry `index`; with `compressed_only`, nullopt for entries without
// the C bit. Nullopt for bytes outside the buffer.
std::optional<std::span<const uint8_t>> StoredFileBytes(const RomImage& image, uint32_t index,
                                                        bool compressed_only) {
  const auto e = FileEntry(image, index);
  if (!e) return std::nullopt;
  if (compressed_only && (e->Get(filesentry::dwFileAttributes) & kAttrCompressed) == 0) {
    return std::nullopt;
  }
  return image.Bytes(OffsetOf(image, e->Get(filesentry::ulLoadOffset)),
                     e->Get(filesentry::nCompFileSize));
}

// The coding of the first other compressed file, then module section, that decodes in one.
std::optional<StreamCoding> CodingOfTheImage(const RomImage& image, uint32_t except,
                                             const StreamCodec& codec) {
  for (uint32_t i = 0; i < image.FileCount(); ++i) {
    if (i == except) continue;
    if (const auto stored = StoredFileBytes(image, i, true)) {
      if (const auto coding = CodingOfStream(*stored, codec)) return coding;
    }
  }
  if (image.ModuleCount() == 0) return std::nullopt;
  const E32Layout layout = DetectE32Layout(image).layout;
  for (uint32_t m = 0; m < image.ModuleCount(); ++m) {
    const Result<ModuleInfo> module = ReadModule(image, m, layout);
    if (!module) continue;
    for (const SectionInfo& section : module->sections) {
      if (!section.compressed() || !section.stored()) continue;
      const auto stored = image.Bytes(section.data_offset, section.o32_psize);
      if (!stored) continue;
      if (const auto coding = CodingOfStream(*stored, codec)) return coding;
    }
  }
  return std::nullopt;
}

}  // namespace

StreamCoding CodingOfEntry(const RomImage& image, uint32_t entry, const StreamCodec& codec) {
  if (const auto stored = StoredFileBytes(image, entry, false)) {
    if (const auto coding = CodingOfStream(*stored, codec)) return *coding;
  }
  return CodingOfTheImage(image, entry, codec).value_or(StreamCoding::kLzx);
}

Result<StoredForm> StoredFormFor(const RomImage& image, uint32_t entry,
                                 std::span<const uint8_t> content, const StreamCodec& codec) {
  const auto e = FileEntry(image, entry);
  if (!e) return Error{.kind = ErrorKind::kNoEntry, .first = entry};
  StoredForm form;
  if ((e->Get(filesentry::dwFileAttributes) & kAttrCompressed) == 0) {
    form.bytes.assign(content.begin(), content.end());
    form.real_size = static_cast<uint32_t>(content.size());
    return form;
  }
  if (!codec.decode || !codec.encode) {
    return Error{.kind = ErrorKind::kNotCompressible, .size = content.size()};
  }
  const StreamCoding coding = CodingOfEntry(image, entry, codec);
  form.coding = coding;
  if (auto decoded = codec.decode(coding, content)) {
    form.bytes.assign(content.begin(), content.end());
    form.real_size = static_cast<uint32_t>(decoded->size());
    form.given_as_stream = true;
    return form;
  }
  auto stream = codec.encode(coding, content);
  if (!stream) {
    return Error{.kind = ErrorKind::kNotCompressible,
                 .reason = CodingName(coding),
                 .size = content.size()};
  }
  form.bytes = std::move(*stream);
  form.real_size = static_cast<uint32_t>(content.size());
  return form;
}

Result<StoredReplacement> ReplaceFileStored(RomImage& image, const ReplacePlan& plan,
                                            std::span<const uint8_t> content, uint8_t fill,
                                            const StreamCodec& codec) {
  Result<StoredForm> form = StoredFormFor(image, plan.entry, content, codec);
  if (!form) return form.error();
  Result<Replacement> placed = ReplaceFile(image, plan, form->bytes, fill, form->real_size);
  if (!placed) return placed.error();
  return StoredReplacement{.placed = std::move(*placed),
                           .coding = form->coding,
                           .given_as_stream = form->given_as_stream,
                           .real_size = form->real_size,
                           .stored_size = static_cast<uint32_t>(form->bytes.size())};
}

std::string Describe(const StoredReplacement& r) {
  const std::string raw = std::to_string(r.real_size) + " Bytes";
  const std::string stored = std::to_string(r.stored_size) + " Bytes";
  std::string text;
  if (!r.coding) {
    text = "Datei ungepackt gespeichert: " + raw;
  } else if (r.given_as_stream) {
    text = std::string("Datei als fertiger ") + CodingName(*r.coding) +
           "-Strom gespeichert: " + raw + " entpackt, im Image " + stored;
  } else {
    text = std::string("Datei als ") + CodingName(*r.coding) + " gepackt gespeichert: " + raw +
           ", im Image " + stored;
  }
  if (!r.placed.module.empty()) {
    text += " (am alten Platz: das Modul " + Cp1252ToUtf8(r.placed.module) + " liegt dahinter)";
  } else if (r.placed.in_place) {
    text += " (am alten Platz: ein fixer Block liegt dahinter)";
  }
  return text;
}

}  // namespace rom
