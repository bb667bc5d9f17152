// The words of every error.
#include "rom/result.h"

#include "rom/cp1252.h"
#include "rom/rom_image.h"
#include "rom/text_format.h"

namespace rom {

namespace {

std::string StructureText(Structure structure) {
  switch (structure) {
    case Structure::kSignatureBlock:
      return "den Signaturblock";
    case Structure::kSecondPointer:
      return "den zweiten Zeiger auf den ROM Header";
    case Structure::kRomHeader:
      return "den ROM Header";
    case Structure::kModuleTable:
      return "die Modultabelle";
    case Structure::kFileTable:
      return "die Dateitabelle";
  }
  return {};
}

// A module's part as a refusal names it: "Sektion 2", or "Sektionsdaten" where no single
// section is known.
std::string ModulePartText(ModulePart part, std::optional<uint32_t> section) {
  switch (part) {
    case ModulePart::kName:
      return "Name";
    case ModulePart::kE32Header:
      return "e32_rom";
    case ModulePart::kO32Table:
      return "o32_rom";
    case ModulePart::kSectionData:
      break;
  }
  return section ? "Sektion " + std::to_string(*section) : "Sektionsdaten";
}

// "das Zeichen „中“ (U+4E2D)" or "das Steuerzeichen U+000A".
std::string CharacterText(char32_t cp) {
  std::string hex = Hex(cp, 4);
  if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return "das Steuerzeichen U+" + hex;
  std::string utf8;
  if (cp < 0x800) {
    utf8 = {static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
  } else if (cp < 0x10000) {
    utf8 = {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
            static_cast<char>(0x80 | (cp & 0x3F))};
  } else {
    utf8 = {static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
  }
  return "das Zeichen \xE2\x80\x9E" + utf8 + "\xE2\x80\x9C (U+" + hex + ")";
}

// The refusal of a name that cannot be stored, whole: each fault has its own sentence, so that
// no clause of one runs into another's punctuation.
std::string BadNameText(NameFault fault, char32_t code_point) {
  switch (fault) {
    case NameFault::kEmpty:
      return "Die Datei hat keinen Namen, der im Image gespeichert werden kann.";
    case NameFault::kInvalidUtf8:
      return "Der Name enthält Bytes, die kein gültiges UTF-8 sind; er kann im Image nicht "
             "gespeichert werden.";
    case NameFault::kControlCharacter:
    case NameFault::kUnmappable:
      break;
  }
  return "Der Name enthält " + CharacterText(code_point) +
         ", das im Image nicht gespeichert werden kann.";
}

}  // namespace

std::string Error::Message() const {
  const std::string n = Cp1252ToUtf8(name);
  const std::string at = H8(static_cast<uint32_t>(first));
  switch (kind) {
    case ErrorKind::kFile:
      return reason;
    case ErrorKind::kFileTooLarge:
      return path + ": file too large (" + std::to_string(size) + " bytes; at most " +
             std::to_string(kMaxBufferSize) + ")";
    case ErrorKind::kOutOfMemory:
      return path + ": out of memory for a buffer of " + std::to_string(size) + " bytes";
    case ErrorKind::kRecords:
      return path + ": " + (records ? records->Message() : std::string("bad B000FF file"));
    case ErrorKind::kNothingLoaded:
      return "Es ist kein Image geladen.";
    case ErrorKind::kRecordsNotWritten:
      return path + ": " + reason;
    case ErrorKind::kNoSuchModule:
    case ErrorKind::kNameOutside:
    case ErrorKind::kE32Outside:
    case ErrorKind::kTooManySections:
    case ErrorKind::kO32Outside:
    case ErrorKind::kSectionOutside:
    case ErrorKind::kNoSections:
    case ErrorKind::kStoredBytesGone:
    case ErrorKind::kNoDecompressor:
    case ErrorKind::kCorruptSection:
    case ErrorKind::kPeTooLarge:
    case ErrorKind::kNoRoom:
    case ErrorKind::kLayoutUndecided:
    case ErrorKind::kE32Misfit:
      return reason;
    case ErrorKind::kNoHeader:
      return "Kein ROM Header im Image";
    case ErrorKind::kTablesNotListed:
      return "Die Tabellen des Images sind nicht vollständig gelistet; das Image wird nicht "
             "verändert.";
    case ErrorKind::kOutsideImage:
      return "Der Bereich " + at + " .. " + H8(static_cast<uint32_t>(last)) +
             " liegt nicht im Image (Länge " + H8(static_cast<uint32_t>(size)) + ")";
    case ErrorKind::kProtected:
      return "Der Bereich enthält " + StructureText(structure) + " (bei " + at +
             "); er darf nicht entfernt oder überschrieben werden.";
    case ErrorKind::kModuleBehind:
      return "Das Modul " + n + " (" + ModulePartText(module_part, section) + " bei " + at +
             ") liegt dahinter; ein Modul darf nicht verschoben werden.";
    case ErrorKind::kModuleUnreadable:
      return "Die Kopfdaten (" + ModulePartText(module_part, section) + ") des Moduls " + n +
             " liegen nicht im Puffer; es darf nichts verschoben werden.";
    case ErrorKind::kEntryInside:
      return "Die Datei " + n + " hat " +
             (entry_part == EntryPart::kData ? "ihre Daten" : "ihren Namen") + " bei " + at +
             " im betroffenen Bereich; sie gingen verloren.";
    case ErrorKind::kDoesNotFit:
      return "Die Datei passt nicht mehr in den Puffer von " + std::to_string(size) + " Bytes.";
    case ErrorKind::kRoomTooSmall:
      return "Es liegt ein fixer Block dahinter und die Datei ist zu groß.";
    case ErrorKind::kModuleRoomTooSmall:
      return "Das Modul " + n + " (" + ModulePartText(module_part, section) + " bei " + at +
             ") liegt dahinter und darf nicht verschoben werden; die Datei ist zu groß (" +
             std::to_string(size) + " Bytes, Platz für " + std::to_string(last) + " Bytes).";
    case ErrorKind::kNotCompressible:
      if (reason.empty()) {
        return "Es ist keine Kompression verfügbar; die Datei kann nur roh ersetzt werden.";
      }
      return "Die Datei (" + std::to_string(size) + " Bytes) lässt sich nicht als " + reason +
             "-Strom speichern.";
    case ErrorKind::kPastRamStart:
      return "Das Image reichte nach der Änderung bis " + H8(static_cast<uint32_t>(last)) +
             " und damit über RAM Start (" + at + "); das Image wird nicht verändert.";
    case ErrorKind::kDataBehindTable:
      return "Hinter der Dateitabelle (" + at +
             ") liegen Daten; der neue Eintrag würde sie überschreiben.";
    case ErrorKind::kBadName:
      return BadNameText(name_fault, code_point);
    case ErrorKind::kNoEntry:
      return "Eintrag " + std::to_string(first) + " gibt es nicht mehr; nichts geschrieben";
    case ErrorKind::kNotAFile:
      return "Die Zeile gehört zu keinem Dateieintrag";
    case ErrorKind::kFixedBlockBehind:
      return "Hinter der Datei bei " + at +
             " liegt ein fixer Block; sie kann nicht gelöscht werden.";
    case ErrorKind::kDecompression:
      return "Error decompressing " + n;
    case ErrorKind::kBadFieldValue:
      return reason;
    case ErrorKind::kModuleExport:
      return reason.empty() ? "Export of " + n + " yet not implemented"
                            : "Modul " + n + ": " + reason;
  }
  return {};
}

}  // namespace rom
