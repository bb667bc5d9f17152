// Tarnwick's entry point: binds the compression libraries, then runs the console front end for
// option arguments.
#include <iostream>
#include <string>
#include <vector>

#include "compress/compression_library.h"
#include "ui/console/console_frontend.h"

int main(int argc, char** argv) {
  std::string missing;
  const auto lib = codec::CompressionLibrary::Bind(missing);
  if (!lib) {
    std::cerr << "Tarnwick: " << missing << " is missing\n";
    return 1;
  }
  const rom::RomDecompressor decompress = [&lib](const uint8_t* src, uint32_t len, uint8_t* dst,
                                                 uint32_t cap, uint32_t zero, uint32_t one,
                                                 uint32_t page) {
    return lib->CEDecompressROM(src, len, dst, cap, zero, one, page);
  };
  std::vector<std::string> args(argv + 1, argv + argc);
  if (console::IsConsoleInvocation(args)) {
    std::ios::sync_with_stdio(false);
    return console::Run(args, std::cout, std::cerr, decompress);
  }
  std::cerr << "Tarnwick: this build has no window; use the console options:\n";
  return console::Run({}, std::cout, std::cerr, decompress);
}
