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

// The texts that earlier versions wrote in place of the data of the other types; they carry no
// data, so the compiler refuses them. kUnknownMarker is followed by the type code in decimal.
inline constexpr std::string_view kMarkers[] = {"-----------------------none---",
                                                "----------------------expand_sz---",
                                                "----dword_be---",
                                                "----link---",
                                                "---- resorcelist--",
                                                "---- full resorce descr--",
                                                "---- resorce requirements--",
                                                "---- Qword--"};
inline constexpr std::string_view kUnknownMarker = "--------------------- unbekannt ";

}  // namespace hivelore::reg

#endif  // TARNWICK_TOOLS_HIVELORE_REGEDIT4_SYNTAX_H_
