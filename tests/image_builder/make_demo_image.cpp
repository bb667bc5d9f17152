// make_demo_image: writes the demo image to the path given as its one argument. Entries with
// the C bit hold their content compressed in the version-3 format of the built-in codec.
#include <cstdio>

#include "compress/lz_codec.h"
#include "tests/image_builder/demo_image.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_image OUT.nb0\n");
    return 2;
  }
  const testimg::Compressor compress =
      [](const testimg::Bytes& in) -> std::optional<testimg::Bytes> {
    testimg::Bytes out(codec::MaxCompressedSize(in.size()));
    const uint32_t n =
        codec::Compress(codec::Format::kVersion3, in.data(), static_cast<uint32_t>(in.size()),
                        out.data(), static_cast<uint32_t>(out.size()));
    if (n == 0) return std::nullopt;
    out.resize(n);
    return out;
  };
  try {
    testimg::WriteFile(argv[1], testimg::DemoImage(compress));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_demo_image: %s\n", e.what());
    return 1;
  }
  return 0;
}
