#include <iostream>

#include "driver/driver.hpp"
#include "driver/files.hpp"

int main() {
  ovrik::PosixFiles files;
  return ovrik::runAssembler(std::cin, std::cout, files);
}
