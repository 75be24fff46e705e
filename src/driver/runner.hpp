#pragma once

#include <span>
#include <string>

#include "driver/command_line.hpp"
#include "driver/driver.hpp"
#include "driver/terminal.hpp"

namespace ovrik {

// `ovrik --run [--input TEXT] [--steps N] [--start ADDR] [--trace] [--dump] FILE`,
// args being the words after --run: runs a listing (FILE.ovr) or a source,
// assembled first. When console.in is standard input and --input is not
// given, the keys come from it: typed live at a terminal, else read when the
// program waits for a key. Ctrl-C ends the run as interrupted. Returns 0 when
// the program halted, 2 when it waits for input, 3 at the step limit, 130
// when interrupted, 1 when it could not be run; 0 after --help.
int runMachineCommand(std::span<const std::string> args, Console console, FileSystem& files);

// What a run takes from the platform, or what a test gives instead.
struct RunPlatform {
  KeySource* keys = nullptr;  // port 0's keys without --input; null: console.in as a stream
  const Interruption* interruption = nullptr;  // null: the run is never interrupted
  // Standard output and standard error show on a terminal: the end line then
  // starts on a line of its own.
  bool outputAtTerminal = false;
  bool errorsAtTerminal = false;
};

int runMachineCommand(std::span<const std::string> args, Console console, FileSystem& files,
                      const RunPlatform& platform);

}  // namespace ovrik
