// Runs one command once, stdin from a file and stdout to /dev/null, and prints
// "<wall seconds> <peak resident KB> <exit status>".
//
// Why not time from Python directly: Linux counts the resident size a child
// had before exec into the child's peak, and a child starts as a copy (or, by
// vfork, a borrower) of its parent, so every child of a Python process shows
// at least Python's own peak. This helper stays a few hundred KB small
// (only the C library, linked statically), so the peak it reports is the
// command's own down to that floor.
//
// The command runs on the CPU the helper runs on: on a virtual machine, a
// process woken on another CPU can wait for the next timer tick (4 ms here),
// which would drown a run that takes 1 ms.
//
// Usage: measure STDIN_FILE PROGRAM [ARGUMENT...]
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <cstdio>
#include <cstring>

extern char** environ;

namespace {

void stayOnThisCpu() {
  const int cpu = sched_getcpu();
  if (cpu < 0) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(static_cast<std::size_t>(cpu), &set);
  sched_setaffinity(0, sizeof set, &set);
}

double now() {
  timespec time{};
  clock_gettime(CLOCK_MONOTONIC, &time);
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) * 1e-9;
}

struct Run {
  double seconds = 0;
  long peakKb = 0;
  int status = 0;
};

// Starts command with its input from inputFile and waits for it; returns the
// posix_spawn error number, 0 when the command ran.
int runOnce(const char* inputFile, char** command, Run& run) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inputFile, O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const double start = now();
  pid_t child = 0;
  const int failure = posix_spawn(&child, command[0], &actions, nullptr, command, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failure != 0) return failure;
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  run.seconds = now() - start;
  run.peakKb = usage.ru_maxrss;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: measure STDIN_FILE PROGRAM [ARGUMENT...]\n", stderr);
    return 2;
  }
  stayOnThisCpu();
  Run run;
  if (const int failure = runOnce(argv[1], argv + 2, run); failure != 0) {
    std::fprintf(stderr, "measure: cannot start %s with input %s: %s\n", argv[2], argv[1],
                 std::strerror(failure));
    return 2;
  }
  std::printf("%.9f %ld %d\n", run.seconds, run.peakKb, run.status);
  return 0;
}
