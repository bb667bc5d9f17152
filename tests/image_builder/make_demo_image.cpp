// make_demo_image: writes the demo image to the path given as its one argument. Entries with
// the C bit hold their content compressed in the newer (LZX) page coding, as images of the
// platform's later generations store them.
#include <cstdio>

#include "tests/image_builder/demo_image.h"
#include "tests/image_builder/rom_compressor.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_image OUT.nb0\n");
    return 2;
  }
  try {
    testimg::WriteFile(argv[1],
                       testimg::DemoImage(testimg::RomCompressor(codec::PageCoding::kLzx)));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_demo_image: %s\n", e.what());
    return 1;
  }
  return 0;
}
