// Hivelore: turns a precompiled registry file back into REGEDIT4 text.
//
//   Hivelore filename
//
// writes "recompiled_FDF_File.reg" into the current folder.
#ifndef TARNWICK_TOOLS_HIVELORE_HIVELORE_H_
#define TARNWICK_TOOLS_HIVELORE_HIVELORE_H_

#include <ostream>
#include <string>
#include <vector>

namespace hivelore {

inline constexpr const char* kOutputFileName = "recompiled_FDF_File.reg";

// Runs the program on `args` (without the program name); console texts go to `out`, reports
// of system failures to `err`. Exit status 0 for success and the usage text, 1 for a missing
// file, a file too large, a wrong signature and a file error.
[[nodiscard]] int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_HIVELORE_H_
