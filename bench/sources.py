#!/usr/bin/env python3
"""Sources for the benchmarks, written into a folder:

  largest.txt  the largest program the machine holds: 16 pages, every page full
               with its code, its data, its pool and its references to other pages
  large.txt    the same program grown to about --size-mb megabytes by comment,
               blank and label-only lines between its lines; its listing is the
               listing of largest.txt

Usage: sources.py FOLDER [--size-mb N]
"""

import argparse
import os
import sys

PAGES = 16
LINE_END = "\r\n"

# The constants of the pages, in the literal forms a source writes.
CONSTANTS = ["1", "-5", "#017", "%00001010", "'A", "+12", "-1", "255"]


def page_lines(page):
    """One page: 9 code words, 2 data words and a pool of 5 fill its 16 words.

    The pool takes the pointer P and the variable V, the constant C and the
    address constants of the next page's subroutine and start, so every page
    reaches the next through far references (the last page reaches page 0).
    """
    after = (page + 1) % PAGES
    constant = CONSTANTS[page % len(CONSTANTS)]
    return [
        f"/{page}",
        f"S{page},    CLA                 / start of page {page}",
        f"        TAD C{page}              / constant from the pool",
        f"        TAD I P{page}            / first table entry, through the pointer",
        f"        DCA V{page}",
        f"        JMS R{after}              / subroutine of the next page",
        f"        JMP S{after}              / on to the next page",
        f"R{page},    RTNADR              / subroutine: add the array word",
        f"        TAD A{page}",
        f"        JMP I R{page}",
        f"V{page},    VAR",
        f"P{page},    VAR=T{page}A",
        f"C{page},    {constant}",
        f"A{page},    ARRAY[1]            / one word of work space",
        f"T{page},    TABLE[1]",
        f"        '{chr(ord('A') + page)}",
    ]


def largest_program():
    lines = [line for page in range(PAGES) for line in page_lines(page)]
    return LINE_END.join(lines) + LINE_END


# Lines that file nothing: comments (never a page directive: no number after
# the slash), blank lines and labels alone on their line.
FILLERS = [
    "/ ------------------------------------------------------------",
    "",
    "/ the loop below adds the table entries into the running sum",
    "        / keeps the count in the variable until it wraps to zero",
    "NOTE{n},",
    "",
    "/\ta tab after the slash",
    "       ",
    "SPARE{n},   / a label kept for the reader",
    "/ the pointer word holds the address of the table, not its value",
]


def filler_block(count, first_number):
    lines = []
    for i in range(count):
        template = FILLERS[i % len(FILLERS)]
        lines.append(template.format(n=first_number + i) if "{n}" in template else template)
    return LINE_END.join(lines) + LINE_END


def large_source(size_bytes):
    """The largest program with filler lines between its lines, about size_bytes long."""
    program = largest_program().split(LINE_END)[:-1]
    gap_bytes = max(0, size_bytes - len(largest_program())) // len(program)
    sample = filler_block(len(FILLERS), 0)
    per_gap = max(1, gap_bytes * len(FILLERS) // len(sample))
    parts = []
    for index, line in enumerate(program):
        parts.append(filler_block(per_gap, index * per_gap))
        parts.append(line + LINE_END)
    return "".join(parts)


def write(folder, size_mb):
    os.makedirs(folder, exist_ok=True)
    sources = {
        "largest.txt": largest_program(),
        "large.txt": large_source(size_mb * 1000 * 1000),
    }
    for name, text in sources.items():
        path = os.path.join(folder, name)
        temporary = path + ".part"
        with open(temporary, "w", encoding="ascii", newline="") as file:
            file.write(text)
        os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--size-mb", type=int, default=200)
    arguments = parser.parse_args()
    write(arguments.folder, arguments.size_mb)
    return 0


if __name__ == "__main__":
    sys.exit(main())
