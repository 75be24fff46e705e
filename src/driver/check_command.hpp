#pragma once

#include <span>
#include <string>

#include "driver/command_line.hpp"
#include "driver/driver.hpp"

namespace ovrik {

// `ovrik --check EXERCISE.toml [--check MORE.toml] [--format text|junit|json|tap]
// FILE...`, args being every word of the command line (the first --check too):
// assembles each FILE in memory, runs every check of every exercise on it and
// reports. Writes no file. Returns 0 when every check of every FILE passed, 1
// when one failed, 2 for a usage error or an exercise that cannot be read.
int runCheckCommand(std::span<const std::string> args, Console console, FileSystem& files);

}  // namespace ovrik
