// Zumpel's entry point: binds the compression libraries, then runs.
#include <iostream>

#include "tools/zumpel/zumpel.h"

int main(int argc, char** argv) {
  std::string missing;
  const auto lib = codec::CompressionLibrary::Bind(missing);
  if (!lib) {
    std::cout << "Error: " << missing << " is missing\n";
    return 1;
  }
  return zumpel::Run(std::vector<std::string>(argv + 1, argv + argc), *lib, std::cout);
}
