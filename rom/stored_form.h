// The form in which a file's new content goes into the image: compressed in the coding of the
// entry's stream where the entry carries the C bit, as given otherwise.
#ifndef TARNWICK_ROM_STORED_FORM_H_
#define TARNWICK_ROM_STORED_FORM_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/add_replace.h"
#include "rom/result.h"
#include "rom/rom_image.h"
#include "rom/stream_coding.h"

namespace rom {

// The coding of file entry `entry`'s stored stream: the coding all its pages are of; where it
// decodes in neither (or the entry is not in the table), the coding of the first of the
// image's other compressed files and module sections that decodes in one; LZX when none does.
[[nodiscard]] StreamCoding CodingOfEntry(const RomImage& image, uint32_t entry,
                                         const StreamCodec& codec);

struct StoredForm {
  std::vector<uint8_t> bytes;          // what the entry's stored bytes become
  uint32_t real_size = 0;              // its nRealFileSize: the length of the content
  std::optional<StreamCoding> coding;  // the stream's coding; nullopt: stored as given
  bool given_as_stream = false;        // the file already was a valid stream of that coding
};

// The stored form of `content` for file entry `entry`. An entry without the C bit stores the
// bytes as given. An entry with it stores a stream of CodingOfEntry: `content` itself when it
// already is a valid stream of that coding (real size: what it decodes to), otherwise
// `content` compressed. Refused (kNotCompressible) when the content cannot be compressed, and
// (kNoEntry) when the entry does not exist.
[[nodiscard]] Result<StoredForm> StoredFormFor(const RomImage& image, uint32_t entry,
                                               std::span<const uint8_t> content,
                                               const StreamCodec& codec);

// What a replacement in the stored form did.
struct StoredReplacement {
  Replacement placed;
  std::optional<StreamCoding> coding;  // as StoredForm
  bool given_as_stream = false;
  uint32_t real_size = 0;    // the content's length
  uint32_t stored_size = 0;  // the bytes in the image (nCompFileSize)
};

// Replaces the plan's file by `content` in its stored form (StoredFormFor, then ReplaceFile).
[[nodiscard]] Result<StoredReplacement> ReplaceFileStored(RomImage& image, const ReplacePlan& plan,
                                                          std::span<const uint8_t> content,
                                                          uint8_t fill, const StreamCodec& codec);

// The status text: what was stored, for example "Datei als LZX gepackt gespeichert: 2440
// Bytes, im Image 731 Bytes".
[[nodiscard]] std::string Describe(const StoredReplacement& replacement);

}  // namespace rom

#endif  // TARNWICK_ROM_STORED_FORM_H_
