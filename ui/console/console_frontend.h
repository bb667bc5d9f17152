// Console front end of Tarnwick: load, analyse and edit an image from the command line.
//
//   Tarnwick --image PATH [--flash 32|64] [--preset 0|FF] OPERATION...
//
// Operations run in the order given, each on the image as the previous ones left it, and do
// what the window's buttons do. Lists go to standard output as the window saves them (bytes
// unchanged, CR LF after each line); messages go to standard error, one line each (UTF-8).
#ifndef TARNWICK_UI_CONSOLE_CONSOLE_FRONTEND_H_
#define TARNWICK_UI_CONSOLE_CONSOLE_FRONTEND_H_

#include <ostream>
#include <string>
#include <vector>

#include "rom/decompressor.h"
#include "rom/stream_coding.h"

namespace console {

// True when the arguments ask for the console front end (they begin with an option).
[[nodiscard]] bool IsConsoleInvocation(const std::vector<std::string>& args);

// Runs the front end on `args` (without the program name). `decompress` reads the image's
// compressed files and module sections; `codec` reads and writes each page coding on its own,
// for putting compressed files back (without it a compressed entry can only be replaced raw).
// Exit status: 0 success, 1 a load or an operation failed or was refused (nothing after it
// runs), 2 wrong options.
[[nodiscard]] int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const rom::Decompressor& decompress,
                      const rom::StreamCodec& codec = rom::StreamCodec{});

}  // namespace console

#endif  // TARNWICK_UI_CONSOLE_CONSOLE_FRONTEND_H_
