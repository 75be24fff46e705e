#pragma once

#include "driver/command_line.hpp"
#include "driver/run_options.hpp"
#include "driver/runner.hpp"
#include "machine/machine.hpp"

namespace ovrik {

// Runs the loaded machine to its end: port 0's keys from --input or
// platform.keys, each display's bytes on console.out (port 0) or console.err
// (port 1) as they are written, a line per step with --trace; then the line
// that tells how the run ended and, with --dump, the memory. Gives the exit
// status: 0 halted, 2 waiting for input, 3 step limit, 130 interrupted.
int runToTheEnd(Machine& machine, const MemoryImage& image, const RunOptions& options,
                Console console, const RunPlatform& platform);

}  // namespace ovrik
