// File addition in front of the ROM header, and replacement in place.
#include "rom/add_replace.h"

#include <algorithm>
#include <cstring>

#include "rom/cp1252.h"
#include "rom/edit_guard.h"
#include "rom/edit_steps.h"
#include "rom/rom_header.h"
#include "rom/text_format.h"

namespace rom {

namespace {

Error DoesNotFit(const RomImage& image) {
  return Error{.kind = ErrorKind::kDoesNotFit, .size = static_cast<uint64_t>(image.BufferSize())};
}

}  // namespace

Result<std::string> EntryNameFromPath(const std::string& path) {
  const size_t cut = path.find_last_of("\\:/");
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  auto bad = [](NameFault fault, char32_t code_point = 0) {
    return Error{.kind = ErrorKind::kBadName, .name_fault = fault, .code_point = code_point};
  };
  if (name.empty()) return bad(NameFault::kEmpty);
  Cp1252Conversion c = ConvertUtf8ToCp1252(name);
  if (c.invalid_utf8) return bad(NameFault::kInvalidUtf8);
  if (c.unmapped) return bad(NameFault::kUnmappable, *c.unmapped);
  for (char ch : c.text) {
    const char32_t cp = Cp1252ToCodePoint(static_cast<unsigned char>(ch));
    if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
      return bad(NameFault::kControlCharacter, cp);
    }
  }
  return std::move(c.text);
}

std::optional<TableEndWarning> CheckTableEnd(const RomImage& image) {
  const auto hdr = RomHeaderView(image);
  if (!hdr || image.ImageLength() < 0) return std::nullopt;
  const uint64_t table_end =
      TablesEnd(image.RomHeaderOffset(), hdr->Get(romhdr::nummods), hdr->Get(romhdr::numfiles));
  if (table_end >= static_cast<uint64_t>(image.ImageLength())) return std::nullopt;
  return TableEndWarning{static_cast<uint32_t>(table_end),
                         static_cast<uint32_t>(image.ImageLength())};
}

std::string Describe(const TableEndWarning& warning) {
  return "A: " + H8(warning.table_end) + " BLen: " + H8(warning.image_length);
}

Result<Done> AddFile(RomImage& image, const std::string& name, std::span<const uint8_t> bytes,
                     uint64_t time) {
  const auto hdr = RomHeaderView(image);
  if (!hdr || image.SignatureOffset() < 0) return Error{.kind = ErrorKind::kNoHeader};
  const uint32_t p = image.RomHeaderOffset();
  const uint64_t table_end = TablesEnd(p, hdr->Get(romhdr::nummods), hdr->Get(romhdr::numfiles));
  const auto length = static_cast<uint64_t>(image.ImageLength());
  const auto buffer = static_cast<uint64_t>(image.BufferSize());
  if (table_end + filesentry::kSize > buffer) return DoesNotFit(image);
  if (table_end < length) {
    // Something lies behind the file table: the new entry goes over its first 28 bytes, which
    // is harmless only when they are unused fill.
    const auto behind = *image.Bytes(table_end, filesentry::kSize);
    const bool zeros = std::all_of(behind.begin(), behind.end(), [](uint8_t b) { return b == 0; });
    const bool ones =
        std::all_of(behind.begin(), behind.end(), [](uint8_t b) { return b == 0xFF; });
    if (!zeros && !ones) return Error{.kind = ErrorKind::kDataBehindTable, .first = table_end};
    const auto end = static_cast<uint32_t>(table_end);
    if (auto e = CheckEdit(image, {end, end + filesentry::kSize, false, std::nullopt})) return *e;
  }
  if (auto e = CheckEdit(image, {p, p, true, std::nullopt})) return *e;
  const auto name_area = AlignUp4(static_cast<uint32_t>(name.size()) + 1);
  if (bytes.size() > buffer) return DoesNotFit(image);
  const auto size = static_cast<uint32_t>(bytes.size());
  const uint64_t inserted = uint64_t{name_area} + AlignUp4(size);
  if (length + filesentry::kSize + inserted > buffer ||
      table_end + filesentry::kSize + inserted > buffer) {
    return DoesNotFit(image);
  }
  if (auto e = CheckRamStart(image, static_cast<int64_t>(length + filesentry::kSize + inserted))) {
    return *e;
  }
  const bool follows = PhysLastIsImageEnd(image);

  // Entries behind the header move with it; the new entry already holds its final addresses,
  // so it is written after them, where the table stands before the move.
  const Move move{p, static_cast<int32_t>(inserted)};
  RelocateFileEntries(image, move);
  const RecordView entry(*image.MutableBytes(table_end, filesentry::kSize));
  entry.Set(filesentry::dwFileAttributes, kAttrRom);
  entry.Set(filesentry::ftTime, static_cast<uint32_t>(time));
  entry.Set(filesentry::ftTime + 4, static_cast<uint32_t>(time >> 32));
  entry.Set(filesentry::nRealFileSize, size);
  entry.Set(filesentry::nCompFileSize, size);
  entry.Set(filesentry::lpszFileName, p + image.RomBase());
  entry.Set(filesentry::ulLoadOffset, p + name_area + image.RomBase());
  hdr->Set(romhdr::numfiles, hdr->Get(romhdr::numfiles) + 1);
  image.SetImageLength(length + filesentry::kSize);
  MoveHeaderPointers(image, move);  // the header itself moves, in every case

  OpenGap(image, p, static_cast<uint32_t>(inserted));
  const auto area = *image.MutableBytes(p, inserted);
  std::fill(area.begin(), area.end(), uint8_t{0});
  std::copy(name.begin(), name.end(), area.begin());
  std::copy(bytes.begin(), bytes.end(), area.begin() + name_area);
  image.SetImageLength(int64_t{image.ImageLength()} + static_cast<int64_t>(inserted));
  image.MarkEdited();
  (void)LocateRomHeader(image);
  FollowImageEnd(image, follows);
  return Done{};
}

Result<Replacement> ReplaceFile(RomImage& image, const ReplacePlan& plan,
                                std::span<const uint8_t> bytes, uint8_t fill,
                                std::optional<uint32_t> real_size) {
  const auto entry = FileEntry(image, plan.entry);
  if (!entry || OffsetOf(image, entry->Get(filesentry::ulLoadOffset)) != plan.start) {
    return Error{.kind = ErrorKind::kNoEntry, .first = plan.entry};
  }
  const auto buffer = static_cast<uint64_t>(image.BufferSize());
  if (bytes.size() > buffer) return DoesNotFit(image);
  const auto size = static_cast<uint32_t>(bytes.size());
  const int64_t new_area = AlignUp4(size);
  const uint64_t s = plan.start;
  const Error outside{.kind = ErrorKind::kOutsideImage,
                      .first = plan.start,
                      .last = uint64_t{plan.next_start} - 1,
                      .size = static_cast<uint32_t>(image.ImageLength())};
  if (plan.room < 0) return outside;
  const auto room = static_cast<uint64_t>(plan.room);
  const int64_t shift = new_area - plan.room;
  Replacement done;
  // Only the chosen entry gets the new sizes (its attribute word and name stay), written
  // where the entry stands before anything moves.
  auto set_sizes = [&] {
    entry->Set(filesentry::nCompFileSize, size);
    entry->Set(filesentry::nRealFileSize, real_size.value_or(size));
  };

  // What behind the file may not move: a fixed block, or a module (the guard names it).
  std::optional<Error> stays;
  if (plan.fixed_block_behind) {
    stays = Error{.kind = ErrorKind::kRoomTooSmall};
  } else if (shift != 0) {
    if (auto e = CheckEdit(image, {plan.start, plan.next_start, true, plan.entry})) {
      if (e->kind != ErrorKind::kModuleBehind && e->kind != ErrorKind::kModuleUnreadable) return *e;
      stays = std::move(e);
    }
  }

  const bool follows = PhysLastIsImageEnd(image);
  if (stays) {
    // The bytes must fit the room; the alignment behind them need not, as it holds only fill.
    if (room < size) {
      if (stays->kind != ErrorKind::kModuleBehind) return *stays;
      Error e = *stays;
      e.kind = ErrorKind::kModuleRoomTooSmall;
      e.size = size;
      e.last = room;
      return e;
    }
    if (!image.Fits(s, room)) return outside;
    const auto end = static_cast<uint32_t>(s + room);
    if (auto e = CheckEdit(image, {plan.start, end, false, plan.entry})) return *e;
    set_sizes();
    const auto place = *image.MutableBytes(s, room);
    std::copy(bytes.begin(), bytes.end(), place.begin());
    std::fill(place.begin() + size, place.end(), fill);
    done.in_place = true;
    done.gap_left = plan.fixed_block_behind && room > static_cast<uint64_t>(new_area);
    if (stays->kind != ErrorKind::kRoomTooSmall) done.module = stays->name;
  } else {
    const int64_t new_length = image.ImageLength() + shift;
    if (new_length > static_cast<int64_t>(buffer)) return DoesNotFit(image);
    if (new_length < 0 || s + static_cast<uint64_t>(new_area) > buffer ||
        uint64_t{plan.next_start} > buffer ||
        (shift > 0 && plan.next_start + static_cast<uint64_t>(shift) > buffer)) {
      return outside;
    }
    const EditZone zone = shift != 0 ? EditZone{plan.start, plan.next_start, true, plan.entry}
                                     : EditZone{plan.start, plan.next_start, false, plan.entry};
    if (auto e = CheckEdit(image, zone)) return *e;
    if (auto e = CheckRamStart(image, new_length)) return *e;
    set_sizes();
    const Move move{plan.next_start, static_cast<int32_t>(shift)};
    RelocateFileEntries(image, move);
    MoveHeaderPointers(image, move);
    if (shift < 0) {
      CloseGap(image, static_cast<uint32_t>(s + static_cast<uint64_t>(new_area)),
               static_cast<uint32_t>(-shift), fill);
    } else if (shift > 0) {
      OpenGap(image, plan.next_start, static_cast<uint32_t>(shift));
    }
    const auto place = *image.MutableBytes(s, static_cast<uint64_t>(new_area));
    std::fill(place.begin(), place.end(), fill);
    std::copy(bytes.begin(), bytes.end(), place.begin());
    image.SetImageLength(new_length);
  }
  image.MarkEdited();
  (void)LocateRomHeader(image);
  FollowImageEnd(image, follows);
  return done;
}

}  // namespace rom
