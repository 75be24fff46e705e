#!/usr/bin/env python3
"""Times the real assembler as a whole process against the floor of one read
and one write by a process: `cp` of the same source, and `wc -l` of the large
source. Every command is started directly (no shell) by bench/measure.cpp,
with its standard input redirected from a file; the commands of a comparison
alternate, and each time shown is the median of --runs runs. Peak memory is
the largest resident size any run of the assembler reached.

Targets: the largest legal program no slower than `cp`; the large source
within 6 times `wc -l`; peak memory below 8 MB. The exit status is 1 when a
target is missed.

Usage: bench/compare.py [--runs N] [--size-mb N] [--program PATH] [--folder DIR]
Needs python3, cmake, ninja and a C++ compiler (the release build); nothing else.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
from pathlib import Path

import sources

ROOT = Path(__file__).resolve().parent.parent
BANNER = b"ovrik version 1.01 24 Apr 2009\r\nInput filename: "
PEAK_MEMORY_LIMIT_KB = 8 * 1024


class Command:
    """One command line, run in the current folder with stdin from a file."""

    def __init__(self, helper, label, argv, stdin="/dev/null"):
        self.helper = helper  # bench/measure.cpp, built
        self.label = label
        self.argv = argv
        self.stdin = stdin
        self.seconds = []
        self.peak_kb = 0

    def run(self):
        """Returns the wall seconds and the peak resident KB of one run."""
        line = subprocess.run([self.helper, self.stdin, *self.argv], check=True,
                              capture_output=True, text=True).stdout
        seconds, peak_kb, status = line.split()
        if status != "0":
            sys.exit(f"{' '.join(self.argv)} failed with status {status}")
        return float(seconds), int(peak_kb)

    def measure(self):
        elapsed, peak_kb = self.run()
        self.seconds.append(elapsed)
        self.peak_kb = max(self.peak_kb, peak_kb)

    def median_ms(self):
        return statistics.median(self.seconds) * 1000


def build_program():
    print("building the release program ...", flush=True)
    subprocess.run(["cmake", "--workflow", "--preset", "release"], cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL)
    return ROOT / "build" / "release" / "ovrik"


def build_measure(folder):
    """Compiles bench/measure.cpp, statically when the C library allows it."""
    helper = str(folder / "measure")
    compiler = os.environ.get("CXX", "c++")
    command = [compiler, "-std=c++20", "-O2", str(ROOT / "bench" / "measure.cpp"), "-o", helper]
    if subprocess.run(command + ["-static"], stderr=subprocess.DEVNULL).returncode != 0:
        subprocess.run(command, check=True)
    return helper


def prepare_sources(folder, size_mb):
    print(f"writing the sources into {folder} ...", flush=True)
    sources.write(folder, size_mb)
    shutil.copyfile(ROOT / "examples" / "count.txt", folder / "example.txt")
    for name in ("largest", "example", "large"):
        (folder / f"{name}.name").write_text(f"{name}\n")
    os.sync()  # no write-back of the fresh sources while the runs are timed


def assemble(program, folder, name):
    """Runs the assembler once and returns its listing; stops at any failure."""
    (folder / f"{name}.ovr").unlink(missing_ok=True)
    with open(folder / f"{name}.name", "rb") as typed:
        run = subprocess.run([program], stdin=typed, capture_output=True, cwd=folder)
    if run.returncode != 0 or run.stdout != BANNER:
        sys.exit(f"{name}.txt does not assemble cleanly: {run.stdout[len(BANNER):]!r}")
    return (folder / f"{name}.ovr").read_bytes()


def check_listings(program, folder):
    largest = assemble(program, folder, "largest").split(b"\r\n")[:-1]
    pages = [i for i, line in enumerate(largest) if line.startswith(b"/")]
    if len(largest) != 16 * 17 or pages != list(range(0, 16 * 17, 17)):
        sys.exit("the largest legal program does not list 16 full pages")
    if b" BLANK " in b"\n".join(largest):
        sys.exit("the largest legal program has filler words")
    if assemble(program, folder, "large") != assemble(program, folder, "largest"):
        sys.exit("the large source lists differently from the program it pads")
    if assemble(program, folder, "example") != (ROOT / "examples" / "count.ovr").read_bytes():
        sys.exit("the example lists differently from examples/count.ovr")


def time_alternating(commands, runs, warmups=3):
    for _ in range(warmups):
        for command in commands:
            command.run()
    for round_number in range(runs):
        # every command goes first as often as the others
        shift = round_number % len(commands)
        for command in commands[shift:] + commands[:shift]:
            command.measure()


def comparisons(program, helper):
    """Per source, the assembler and its floors; the first command is the assembler."""
    cp, wc = shutil.which("cp"), shutil.which("wc")
    groups = {
        name: [
            Command(helper, f"ovrik {name}", [str(program)], f"{name}.name"),
            Command(helper, f"cp {name}", [cp, f"{name}.txt", f"{name}.copy"]),
        ]
        for name in ("largest", "example", "large")
    }
    groups["large"].append(Command(helper, "wc -l large", [wc, "-l", "large.txt"]))
    return groups


def report(groups, runs, folder):
    """Prints the medians, the ratios and the targets; returns False when one is missed."""
    print(f"\nmedians of {runs} runs, {folder}")
    print(f"{'command':<16}{'bytes':>13}{'median ms':>12}{'peak KB':>10}")
    for name, commands in groups.items():
        size = (folder / f"{name}.txt").stat().st_size
        for command in commands:
            print(f"{command.label:<16}{size:>13,}{command.median_ms():>12.3f}{command.peak_kb:>10}")

    def ratio(name, floor):
        return groups[name][0].median_ms() / groups[name][floor].median_ms()

    peak_mb = max(commands[0].peak_kb for commands in groups.values()) / 1024
    checks = [
        ("largest legal program / cp", ratio("largest", 1), 1.0),
        ("example / cp", ratio("example", 1), None),
        ("large source / cp", ratio("large", 1), None),
        ("large source / wc -l", ratio("large", 2), 6.0),
        ("peak memory of ovrik, MB", peak_mb, PEAK_MEMORY_LIMIT_KB / 1024),
    ]
    print()
    met = True
    for label, value, target in checks:
        verdict = ""
        if target is not None:
            verdict = f"target <= {target:.1f}: {'met' if value <= target else 'MISSED'}"
            met = met and value <= target
        print(f"{label:<28}{value:>8.2f}   {verdict}")
    return met


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=21, help="timed runs of every command")
    parser.add_argument("--size-mb", type=int, default=200, help="size of the large source")
    parser.add_argument("--program", type=Path, help="the assembler (default: build it)")
    parser.add_argument("--folder", type=Path, default=ROOT / "build" / "compare")
    arguments = parser.parse_args()
    if arguments.runs < 20:
        parser.error("a median needs at least 20 runs")

    program = (arguments.program or build_program()).resolve()
    folder = arguments.folder.resolve()
    prepare_sources(folder, arguments.size_mb)
    helper = build_measure(folder)
    check_listings(program, folder)
    os.chdir(folder)
    groups = comparisons(program, helper)
    for name, commands in groups.items():
        print(f"timing {name}.txt ...", flush=True)
        time_alternating(commands, arguments.runs)
        (folder / f"{name}.copy").unlink()
    return 0 if report(groups, arguments.runs, folder) else 1


if __name__ == "__main__":
    sys.exit(main())
