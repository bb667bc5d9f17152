// Hivelore's entry point.
#include <iostream>

#include "tools/hivelore/hivelore.h"

int main(int argc, char** argv) {
  return hivelore::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
