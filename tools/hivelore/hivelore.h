// Hivelore: turns a precompiled registry file ("default.fdf") or a hive registry file
// ("default.hv") back into REGEDIT4 text, and compiles such text into either.
//
//   Hivelore filename
//
// writes "recompiled_FDF_File.reg" into the current folder, whole or not at all;
//
//   Hivelore --compile IN.reg OUT [--like FILE]
//
// writes the registry file OUT (compile_command.h).
#ifndef TARNWICK_TOOLS_HIVELORE_HIVELORE_H_
#define TARNWICK_TOOLS_HIVELORE_HIVELORE_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace hivelore {

inline constexpr const char* kOutputFileName = "recompiled_FDF_File.reg";
// Far above the text of any real registry (a few MiB); an input that makes more is refused.
inline constexpr uint64_t kMaxOutputSize = uint64_t{1} << 30;

struct Options {
  uint64_t max_output_size = kMaxOutputSize;  // of text written, and of text compiled
};

// Runs the program on `args` (without the program name); "--compile" first runs RunCompile.
// Console texts go to `out`, reports of failures and the statistics of a run to `err`. Exit status
// 0 for success and the usage text, 1 for a missing file, a file too large, a wrong signature, a
// refused hive, text above the output limit and a file error. Only a run with status 0 or a wrong
// signature replaces the output file; any other leaves a previous one as it was.
[[nodiscard]] int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const Options& options = {});

}  // namespace hivelore

#endif  // TARNWICK_TOOLS_HIVELORE_HIVELORE_H_
