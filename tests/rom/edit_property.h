// The property every edit keeps, checked from the image bytes with a reader of its own.
//
// Before an edit, a Snapshot records the buffer, every file entry (its fields, stored bytes and
// name) and every module (its table entry, its e32_rom and o32_rom bytes and each section's
// stored bytes, all at their offsets). After the edit: a refused edit left the buffer and the
// length byte-identical; a done edit left every other file entry pointing at exactly its old
// stored bytes and name, and every module byte where it was; and the header's "phys last",
// where it marked the image's end, marks the new end (elsewhere it stays). The reader here does
// not use rom/'s views, so a fault there cannot hide itself.
#ifndef TARNWICK_TESTS_ROM_EDIT_PROPERTY_H_
#define TARNWICK_TESTS_ROM_EDIT_PROPERTY_H_

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rom/rom_image.h"

namespace editprop {

using Bytes = std::vector<uint8_t>;

using View = std::span<const uint8_t>;

inline std::optional<uint32_t> Le32(View b, uint64_t at) {
  if (at > b.size() || b.size() - at < 4) return std::nullopt;
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

inline std::optional<Bytes> Slice(View b, uint64_t at, uint64_t n) {
  if (at > b.size() || b.size() - at < n) return std::nullopt;
  return Bytes(b.begin() + static_cast<ptrdiff_t>(at), b.begin() + static_cast<ptrdiff_t>(at + n));
}

// The name at `offset`, without its 0 byte (at most 1024 bytes); nullopt outside the buffer.
inline std::optional<std::string> Name(View b, uint32_t offset) {
  if (offset >= b.size()) return std::nullopt;
  std::string s;
  for (uint64_t i = offset; i < b.size() && b[i] != 0 && s.size() < 1024; ++i) s.push_back(b[i]);
  return s;
}

struct FileSnap {
  Bytes entry;                  // the 28 bytes of the entry
  std::optional<Bytes> stored;  // nCompFileSize bytes at the data offset, when in the buffer
  std::optional<std::string> name;
};

struct ModuleSnap {
  Bytes entry;                                 // the 32 bytes of the entry
  std::vector<std::pair<uint32_t, Bytes>> at;  // bytes that must stay where they are
};

struct Tables {
  bool found = false;
  uint32_t base = 0, header = 0, modules = 0, files = 0;
  uint32_t phys_last = 0;
};

// The header and the table positions, read as the format says: the first "ECEC" at a
// multiple of 4 below `length`, the header address at +4 and offset at +8.
inline Tables Locate(View b, int32_t length) {
  Tables t;
  for (uint64_t at = 0; at + 4 <= b.size() && at < static_cast<uint64_t>(length); at += 4) {
    if (b[at] == 'E' && b[at + 1] == 'C' && b[at + 2] == 'E' && b[at + 3] == 'C') {
      const auto address = Le32(b, at + 4), offset = Le32(b, at + 8);
      if (!address || !offset) return t;
      const auto mods = Le32(b, uint64_t{*offset} + 16), files = Le32(b, uint64_t{*offset} + 48);
      const auto phys_last = Le32(b, uint64_t{*offset} + 12);
      if (!mods || !files || !phys_last) return t;
      t = {true, *address - *offset, *offset, *mods, *files, *phys_last};
      return t;
    }
  }
  return t;
}

struct Snapshot {
  Bytes buffer;
  int32_t length = 0;
  Tables tables;
  std::vector<FileSnap> files;
  std::vector<ModuleSnap> modules;
};

inline Snapshot Take(const rom::RomImage& image) {
  Snapshot s;
  const auto buffer = image.Buffer();
  s.buffer.assign(buffer.begin(), buffer.end());
  s.length = image.ImageLength();
  s.tables = Locate(s.buffer, s.length);
  if (!s.tables.found) return s;
  const Bytes& b = s.buffer;
  const uint64_t module_table = uint64_t{s.tables.header} + 84;
  for (uint32_t m = 0; m < s.tables.modules && m < 65536; ++m) {
    const auto entry = Slice(b, module_table + 32ull * m, 32);
    if (!entry) break;
    ModuleSnap snap{*entry, {}};
    const uint32_t e32 = *Le32(*entry, 20) - s.tables.base;
    const uint32_t o32 = *Le32(*entry, 24) - s.tables.base;
    if (const auto name = Name(b, *Le32(*entry, 16) - s.tables.base)) {
      snap.at.push_back({*Le32(*entry, 16) - s.tables.base, Bytes(name->begin(), name->end())});
    }
    if (const auto head = Slice(b, e32, 2)) {
      snap.at.push_back({e32, *head});
      const uint32_t count = (*head)[0] | (*head)[1] << 8;
      if (const auto records = Slice(b, o32, 24ull * count)) {
        snap.at.push_back({o32, *records});
        for (uint32_t k = 0; k < count; ++k) {
          const uint32_t psize = *Le32(*records, 24ull * k + 8);
          const uint32_t data = *Le32(*records, 24ull * k + 12) - s.tables.base;
          if (auto section = Slice(b, data, psize)) snap.at.push_back({data, std::move(*section)});
        }
      }
    }
    s.modules.push_back(std::move(snap));
  }
  const uint64_t file_table = module_table + 32ull * s.tables.modules;
  for (uint32_t f = 0; f < s.tables.files && f < 65536; ++f) {
    const auto entry = Slice(b, file_table + 28ull * f, 28);
    if (!entry) break;
    const uint32_t data = *Le32(*entry, 24) - s.tables.base, size = *Le32(*entry, 16);
    FileSnap snap{*entry, Slice(b, data, size), Name(b, *Le32(*entry, 20) - s.tables.base)};
    // Stored bytes that overlap the ROM header or the tables (only a damaged image has them)
    // take the fields every edit rewrites there: they are not compared.
    const uint64_t tables_end = file_table + 28ull * s.tables.files;
    if (data < tables_end && uint64_t{data} + size > s.tables.header) snap.stored.reset();
    s.files.push_back(std::move(snap));
  }
  return s;
}

// "" when a refused edit left the image as it was; otherwise what changed.
inline std::string CheckUnchanged(const Snapshot& before, const rom::RomImage& image) {
  const auto buffer = image.Buffer();
  if (image.ImageLength() != before.length) return "ImageLength changed";
  if (buffer.size() != before.buffer.size() ||
      std::memcmp(buffer.data(), before.buffer.data(), buffer.size()) != 0) {
    return "the buffer changed";
  }
  return {};
}

// "" when, after a done edit, every file entry other than the one the edit worked on still
// points at its old stored bytes and name with its old fields, and every module byte is where
// it was. `new_index` maps an old entry index to its index after the edit (nullopt: the entry
// the edit removed or rewrote).
inline std::string CheckKept(const Snapshot& before, const rom::RomImage& image,
                             const std::function<std::optional<uint32_t>(uint32_t)>& new_index) {
  const View after = image.Buffer();
  const Tables t = Locate(after, image.ImageLength());
  if (before.tables.found != t.found) return "the header was lost";
  if (!t.found) return {};
  if (t.base != before.tables.base) return "RomBase changed";
  const uint32_t end_before = before.tables.base + static_cast<uint32_t>(before.length);
  const uint32_t end_after = t.base + static_cast<uint32_t>(image.ImageLength());
  if (before.tables.phys_last == end_before && t.phys_last != end_after) {
    return "phys last did not follow the image's end";
  }
  if (before.tables.phys_last != end_before && t.phys_last != before.tables.phys_last) {
    return "phys last changed although it did not mark the image's end";
  }
  const uint64_t module_table = uint64_t{t.header} + 84;
  for (size_t m = 0; m < before.modules.size(); ++m) {
    if (Slice(after, module_table + 32 * m, 32) != before.modules[m].entry) {
      return "module entry " + std::to_string(m) + " changed";
    }
    for (const auto& [offset, bytes] : before.modules[m].at) {
      if (Slice(after, offset, bytes.size()) != bytes) {
        return "module " + std::to_string(m) + ": bytes at " + std::to_string(offset) + " moved";
      }
    }
  }
  const uint64_t file_table = module_table + 32ull * t.modules;
  for (uint32_t i = 0; i < before.files.size(); ++i) {
    const auto j = new_index(i);
    if (!j) continue;
    const FileSnap& old = before.files[i];
    const auto entry = Slice(after, file_table + 28ull * *j, 28);
    if (!entry) return "file entry " + std::to_string(i) + " is gone";
    // Attributes, time and sizes stay; the addresses may move with the bytes.
    if (!std::equal(entry->begin(), entry->begin() + 20, old.entry.begin())) {
      return "file entry " + std::to_string(i) + " changed its fields";
    }
    if (old.stored && Slice(after, *Le32(*entry, 24) - t.base, *Le32(*entry, 16)) != old.stored) {
      return "file entry " + std::to_string(i) + " lost its stored bytes";
    }
    if (old.name && Name(after, *Le32(*entry, 20) - t.base) != old.name) {
      return "file entry " + std::to_string(i) + " lost its name";
    }
  }
  return {};
}

}  // namespace editprop

#endif  // TARNWICK_TESTS_ROM_EDIT_PROPERTY_H_
