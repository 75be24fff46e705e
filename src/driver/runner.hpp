#pragma once

#include <span>
#include <string>

#include "driver/command_line.hpp"
#include "driver/driver.hpp"
#include "driver/terminal.hpp"

namespace ovrik {

// `ovrik --run [--input TEXT] [--steps N] [--start ADDR] [--trace] [--dump] FILE`,
// args being the words after --run: runs a listing (FILE.ovr) or a source,
// assembled first. Keys come live from the terminal when console.in is
// standard input, that is a terminal and --input is not given. Returns 0 when
// the program halted, 2 when it waits for input, 3 at the step limit, 1 when
// it could not be run.
int runMachineCommand(std::span<const std::string> args, Console console, FileSystem& files);

// The same with the live keys given: null for none.
int runMachineCommand(std::span<const std::string> args, Console console, FileSystem& files,
                      LiveKeys* liveKeys);

}  // namespace ovrik
