// Tarnwick's entry point: the console front end for option arguments, otherwise the window.
#include <iostream>
#include <string>
#include <vector>

#include "ui/console/console_frontend.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (console::IsConsoleInvocation(args)) {
    std::ios::sync_with_stdio(false);
    return console::Run(args, std::cout, std::cerr, nullptr);
  }
  std::cerr << "Tarnwick: this build has no window; use the console options:\n";
  return console::Run({}, std::cout, std::cerr, nullptr);
}
