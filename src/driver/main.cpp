#include <iostream>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/driver.hpp"
#include "driver/files.hpp"

// With no arguments the program is the dialogue; with any, the command line.
int main(int argc, char** argv) {
  ovrik::prepareConsole();
  ovrik::PlatformFiles files;
  if (argc <= 1) return ovrik::runAssembler(std::cin, std::cout, files);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return ovrik::runCommandLine(args, {std::cin, std::cout, std::cerr}, files);
}
