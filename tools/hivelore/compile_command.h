// Hivelore's compiling command:
//
//   Hivelore --compile IN.reg OUT [--like FILE]
//
// reads the REGEDIT4 text IN.reg and writes the registry file OUT, whole or not at all. With
// --like, OUT takes the form of the registry file FILE (normally the one the text came from): a
// precompiled file gives a precompiled OUT in the same key layout, a hive a hive with FILE's
// header identity. Without it OUT is a precompiled file in the current key layout; a hive is
// not made without one to copy its header from.
#ifndef TARNWICK_TOOLS_HIVELORE_COMPILE_COMMAND_H_
#define TARNWICK_TOOLS_HIVELORE_COMPILE_COMMAND_H_

#include <ostream>
#include <string>
#include <vector>

#include "tools/hivelore/hivelore.h"

namespace hivelore {

inline constexpr const char* kCompileSwitch = "--compile";

// Runs the command on `args` (without the program name; args[0] is "--compile"). Exit status 0
// when OUT was written; 1 with a message on `err` (a line number for faults of the text) when
// nothing was, or the usage text on `out` for a wrong command line.
[[nodiscard]] int RunCompile(const std::vector<std::string>& args, std::ostream& out,
                             std::ostream& err, const Options& options);

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_COMPILE_COMMAND_H_
