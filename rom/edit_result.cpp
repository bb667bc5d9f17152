// The words of every refusal.
#include "rom/edit_result.h"

#include "rom/cp1252.h"
#include "rom/text_format.h"

namespace rom {

std::string EditError::Message() const {
  const std::string n = Cp1252ToUtf8(name);
  const std::string at = H8(static_cast<uint32_t>(first));
  switch (kind) {
    case Refusal::kNoHeader:
      return "Kein ROM Header im Image";
    case Refusal::kTablesNotListed:
      return "Die Tabellen des Images sind nicht vollständig gelistet; das Image wird nicht "
             "verändert.";
    case Refusal::kOutsideImage:
      return "Der Bereich " + at + " .. " + H8(static_cast<uint32_t>(last)) +
             " liegt nicht im Image (Länge " + H8(static_cast<uint32_t>(size)) + ")";
    case Refusal::kProtected:
      return "Der Bereich enthält " + what + " (bei " + at +
             "); er darf nicht entfernt oder überschrieben werden.";
    case Refusal::kModuleBehind:
      return "Das Modul " + n + " (" + what + " bei " + at +
             ") liegt dahinter; ein Modul darf nicht verschoben werden.";
    case Refusal::kModuleUnreadable:
      return "Die Kopfdaten (" + what + ") des Moduls " + n +
             " liegen nicht im Puffer; es darf nichts verschoben werden.";
    case Refusal::kEntryInside:
      return "Die Datei " + n + " hat " + what + " bei " + at +
             " im betroffenen Bereich; sie gingen verloren.";
    case Refusal::kDoesNotFit:
      return "Die Datei passt nicht mehr in den Puffer von " + std::to_string(size) + " Bytes.";
    case Refusal::kRoomTooSmall:
      return "Es liegt ein fixer Block dahinter und die Datei ist zu groß.";
    case Refusal::kDataBehindTable:
      return "Hinter der Dateitabelle (" + at +
             ") liegen Daten; der neue Eintrag würde sie überschreiben.";
    case Refusal::kBadName:
      return "Der Name enthält " + what + ", das im Image nicht gespeichert werden kann.";
    case Refusal::kNoEntry:
      return "Eintrag " + std::to_string(first) + " gibt es nicht mehr; nichts geschrieben";
    case Refusal::kNotAFile:
      return "Die Zeile gehört zu keinem Dateieintrag";
    case Refusal::kFixedBlockBehind:
      return "Hinter der Datei bei " + at +
             " liegt ein fixer Block; sie kann nicht gelöscht werden.";
    case Refusal::kDecompression:
      return "Error decompressing " + n;
    case Refusal::kModuleExport:
      return what.empty() ? "Export of " + n + " yet not implemented" : "Modul " + n + ": " + what;
  }
  return {};
}

}  // namespace rom
