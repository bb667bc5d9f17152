// The words of REGEDIT4 registry text that Hivelore writes and compiles: the header, the root
// names, the prefixes of the data forms and the markers of older texts.
#ifndef TARNWICK_TOOLS_HIVELORE_REGEDIT4_SYNTAX_H_
#define TARNWICK_TOOLS_HIVELORE_REGEDIT4_SYNTAX_H_

#include <cstdint>
#include <string_view>

namespace hivelore::reg {

inline constexpr std::string_view kHeader = "REGEDIT4";

// Root names by root code; codes above 3 are written as kOtherRoot and the code in decimal.
inline constexpr std::string_view kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                  "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
inline constexpr std::string_view kOtherRoot = "HKEY_ROOT_";

// Data forms behind "name"=: a quoted string (type 1) has no prefix.
inline constexpr std::string_view kDword = "dword:";       // type 4: up to 8 hex digits
inline constexpr std::string_view kHex = "hex:";           // type 3: bytes
inline constexpr std::string_view kTypedHex = "hex(";      // hex(N): bytes of type N
inline constexpr std::string_view kMultiSz = "multi_sz:";  // type 7: quoted items
inline constexpr std::string_view kMuiSz = "mui_sz:";      // type 21: one string, unescaped

inline constexpr uint16_t kString = 1;
inline constexpr uint16_t kBinary = 3;
inline constexpr uint16_t kDwordType = 4;
inline constexpr uint16_t kMultiString = 7;
inline constexpr uint16_t kMuiString = 21;

// The texts written in place of the data of the types without a form of their own; they carry
// no data, so the compiler refuses them. kUnknownMarker is followed by the type code in decimal.
inline constexpr std::string_view kMarkers[] = {"-----------------------none---",
                                                "----------------------expand_sz---",
                                                "----dword_be---",
                                                "----link---",
                                                "---- resorcelist--",
                                                "---- full resorce descr--",
                                                "---- resorce requirements--",
                                                "---- Qword--"};
inline constexpr std::string_view kUnknownMarker = "--------------------- unbekannt ";

// True for the five types whose data the text carries: string, byte string, number, string
// list and MUI string.
inline constexpr bool HasDataForm(uint16_t type) {
  return type == kString || type == kBinary || type == kDwordType || type == kMultiString ||
         type == kMuiString;
}

// The marker of a type without a form of its own; empty for an unknown code.
inline constexpr std::string_view MarkerOf(uint16_t type) {
  switch (type) {
    case 0: return kMarkers[0];
    case 2: return kMarkers[1];
    case 5: return kMarkers[2];
    case 6: return kMarkers[3];
    case 8: return kMarkers[4];
    case 9: return kMarkers[5];
    case 10: return kMarkers[6];
    case 11: return kMarkers[7];
    default: return {};
  }
}

}  // namespace hivelore::reg

#endif  // TARNWICK_TOOLS_HIVELORE_REGEDIT4_SYNTAX_H_
