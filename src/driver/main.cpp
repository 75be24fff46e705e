#include <iostream>

#include "driver/driver.hpp"
#include "driver/files.hpp"

int main() {
  ovrik::prepareConsole();
  ovrik::PlatformFiles files;
  return ovrik::runAssembler(std::cin, std::cout, files);
}
