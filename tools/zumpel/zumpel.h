// Zumpel: compresses or decompresses one file with one function of the compression library.
//
//   Zumpel /C3|/C4|/D3|/D4|/R infile outfile
#ifndef TARNWICK_TOOLS_ZUMPEL_ZUMPEL_H_
#define TARNWICK_TOOLS_ZUMPEL_ZUMPEL_H_

#include <ostream>
#include <string>
#include <vector>

#include "compress/compression_library.h"

namespace zumpel {

// Runs the program on `args` (without the program name). Every text goes to `out`, as the
// console shows it. Exit status 0 for success and the usage text, 1 for every failure (missing
// input file, library failure, no buffer, file error).
[[nodiscard]] int Run(const std::vector<std::string>& args, const codec::CompressionLibrary& lib,
                      std::ostream& out);

}  // namespace zumpel

#endif  // TARNWICK_TOOLS_ZUMPEL_ZUMPEL_H_
