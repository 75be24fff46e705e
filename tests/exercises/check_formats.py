#!/usr/bin/env python3
"""ovrik --check's reports for machines, read back by real parsers: JUnit XML by
xml.etree, JSON lines by json, TAP by the reader below. Each must tell what the
text report tells. The sources graded have names a report must escape (<, &,
quotes, #, a byte that is no UTF-8) and print bytes that are no text.

usage: check_formats.py OVRIK EXERCISES_DIR SOLUTIONS_DIR
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

program, exercises, solutions = sys.argv[1:4]
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


# An exercise whose display check sees bytes that must be escaped in every format.
ODD_EXERCISE = """
[[check]]
name = "shows <&> & \\"quotes\\" # not a directive"
display = "<&>"
points = 2

[[check]]
name = "halts"
"""
# Shows '<', '&', '>', then the byte 1 and ESC: what a display check must show escaped.
ODD_SOURCE = """/0
START,  TAD LT
        LDB 0
        CLA
        TAD AMP
        LDB 0
        CLA
        TAD GT
        LDB 0
        JMP MORE
LT,     '<
AMP,    '&
GT,     '>
/1
MORE,   CLA.IAC
        LDB 0
        CLA
        TAD SUB
        LDB 0
        HLT 0
SUB,    26
"""
SUM_SOLUTION = os.path.join(solutions, "01-store-a-sum", "solution.txt")
SUM_WRONG = os.path.join(solutions, "01-store-a-sum", "wrong-stores-twice.txt")
# Names as given on the command line (bytes: one is no UTF-8) and as reports show them.
FILES = [
    (b"a<b>&\"c'.txt", "a<b>&\"c'.txt", SUM_SOLUTION),
    (b"x#y\\z.txt", "x#y\\z.txt", SUM_WRONG),
    (b"\xff\xe9t\xc3\xa9.txt", "\\xFF\\xE9t\u00e9.txt", SUM_SOLUTION),
    (b"odd.txt", "odd.txt", None),
    (b"absent.txt", "absent.txt", "missing"),
]


def grade(folder, fmt):
    args = [os.fsencode(program), b"--check", b"sum.toml", b"--check", b"odd.toml"]
    args += [b"--format", fmt.encode()] if fmt else []
    args += [name for name, _, _ in FILES]
    run = subprocess.run(args, cwd=folder, capture_output=True, check=False)
    expect(run.returncode == 1, f"--format {fmt}: exit status {run.returncode}, not 1")
    expect(run.stderr == b"", f"--format {fmt}: standard error {run.stderr!r}")
    return run.stdout


def read_text(report):
    """{file: [(check, output or None)]} and {file: (score, max)} from the text report."""
    files, scores, current = {}, {}, None
    for line in report.decode("utf-8").splitlines():
        if line.startswith("  "):
            name, _, output = line[2:].partition(": ")
            files[current] = [(n, output if n == name else o) for n, o in files[current]]
            continue
        header = re.fullmatch(r"(.*): (\d+)/(\d+) checks, (\d+)/(\d+) points, .*", line)
        current = header.group(1)
        scores[current] = (int(header.group(4)), int(header.group(5)))
        files[current] = [(name, None) for name in CHECKS]
    return files, scores


def read_tap(report):
    """The results of a TAP stream: (number, passed, description, diagnostics)."""
    lines = report.decode("utf-8").splitlines()
    expect(lines[0] == "TAP version 13", f"TAP: first line {lines[0]!r}")
    plan = re.fullmatch(r"1\.\.(\d+)", lines[1])
    expect(plan is not None, f"TAP: no plan in {lines[1]!r}")
    results = []
    for line in lines[2:]:
        test = re.fullmatch(r"(not )?ok (\d+) - (.*)", line)
        if test:
            description = re.sub(r"\\(.)", r"\1", test.group(3))
            expect("#" not in test.group(3).replace("\\#", ""), f"TAP: bare # in {line!r}")
            results.append([int(test.group(2)), test.group(1) is None, description, []])
        else:
            expect(line.startswith("# "), f"TAP: {line!r} is neither a test nor a diagnostic")
            results[-1][3].append(line[2:])
    expect(plan and int(plan.group(1)) == len(results), "TAP: the plan is not the count")
    expect([r[0] for r in results] == list(range(1, len(results) + 1)), "TAP: numbers skip")
    return results


CHECKS = ["2 + 3", "-1 + 1", "200 + 100 wraps around",
          "shows <&> & \"quotes\" # not a directive", "halts"]

with tempfile.TemporaryDirectory() as folder:
    shutil.copy(os.path.join(exercises, "01-store-a-sum.toml"), os.path.join(folder, "sum.toml"))
    with open(os.path.join(folder, "odd.toml"), "w") as odd:
        odd.write(ODD_EXERCISE)
    for name, _, source in FILES:
        if source == "missing":
            continue
        with open(os.path.join(os.fsencode(folder), name), "wb") as file:
            if source:
                with open(source, "rb") as solution:
                    file.write(solution.read())
            else:
                file.write(ODD_SOURCE.encode())
    text, scores = read_text(grade(folder, None))
    shown = [shown for _, shown, _ in FILES]
    expect(list(text) == shown, f"text: files {list(text)}")
    odd_output = dict(text["odd.txt"])[CHECKS[3]]
    expect(odd_output == 'display: expected "<&>", got "<&>\\x01\\x1A"',
           f"text: odd output {odd_output!r}")

    # JUnit: a testsuite per file, a testcase per check, failures where the text has lines.
    root = ElementTree.fromstring(grade(folder, "junit"))
    expect(root.tag == "testsuites", f"JUnit: root {root.tag}")
    suites = root.findall("testsuite")
    expect([s.get("name") for s in suites] == shown, "JUnit: suite names")
    for suite in suites:
        cases = suite.findall("testcase")
        expected = text[suite.get("name")]
        expect([c.get("name") for c in cases] == CHECKS, f"JUnit: cases of {suite.get('name')}")
        for case, (_, output) in zip(cases, expected):
            failure = case.find("failure")
            got = None if failure is None else failure.text.replace("\n", "; ")
            expect(got == output, f"JUnit: {case.get('name')}: {got!r}, not {output!r}")
            expect(case.get("classname") == suite.get("name"), "JUnit: classname")
        failed = sum(1 for _, output in expected if output is not None)
        expect(suite.get("tests") == str(len(CHECKS)) and suite.get("failures") == str(failed),
               f"JUnit: counts of {suite.get('name')}")
        properties = {p.get("name"): p.get("value") for p in suite.iter("property")}
        score, max_score = scores[suite.get("name")]
        expect(properties == {"score": str(score), "max_score": str(max_score)},
               f"JUnit: properties {properties}")

    # JSON: one object per file per line, in the shape autograders read.
    lines = grade(folder, "json").decode("utf-8").splitlines()
    expect(len(lines) == len(FILES), f"JSON: {len(lines)} lines")
    for line in lines:
        graded = json.loads(line)
        expect(list(graded) == ["file", "score", "max_score", "tests"], f"JSON keys {list(graded)}")
        expected = text[graded["file"]]
        expect((graded["score"], graded["max_score"]) == scores[graded["file"]], "JSON: score")
        expect(graded["score"] == sum(t["score"] for t in graded["tests"]), "JSON: score sum")
        for test, (name, output) in zip(graded["tests"], expected):
            expect(list(test) == ["name", "score", "max_score", "status", "output"], "JSON: test")
            expect(test["name"] == name, f"JSON: {test['name']!r}")
            expect(test["status"] == ("passed" if output is None else "failed"), "JSON: status")
            expect(test["output"].replace("\n", "; ") == (output or ""), f"JSON: {test['output']!r}")

    # TAP: every check of every file, in order, with what differed as diagnostics.
    results = read_tap(grade(folder, "tap"))
    expected = [(f"{file}: {name}", output) for file in shown for name, output in text[file]]
    expect(len(results) == len(expected), f"TAP: {len(results)} tests")
    for (_, passed, description, notes), (name, output) in zip(results, expected):
        expect(description == name, f"TAP: {description!r}, not {name!r}")
        expect(passed == (output is None), f"TAP: {name} passed is {passed}")
        expect("; ".join(notes) == (output or ""), f"TAP: notes of {name}: {notes}")

for failure in failures:
    print("FAILED:", failure)
print(f"check_formats: {len(failures)} failed")
sys.exit(1 if failures else 0)
