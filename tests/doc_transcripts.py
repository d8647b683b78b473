#!/usr/bin/env python3
"""Runs the transcripts of the docs and compares their output with the page.

A transcript is a fenced block of a Markdown page whose first line starts
with "$ ": each "$ " line is a command, the lines below it (up to the next
command) what it prints, standard output and standard error together, in
the order written. A last line "[N]" is the command's exit status when it
is not 0; without one the command must end with status 0. A line "..."
stands for any number of lines, so that a page may show the start and the
end of a long output. Everything else must match byte for byte.

Each block runs on its own, command after command with `sh -c`, in a
scratch folder that holds what the pages' commands name: build/streamtrim
and build/streamtrim-verify (the built programs, also on PATH) and
build/sample/stream.log (a copy of the sample log).

usage: doc_transcripts.py --programs DIR --sample LOG PAGE...
       doc_transcripts.py --self-test --programs DIR --sample LOG PAGE...

--self-test checks this runner: each page must pass, and copies of it with
one transcript changed (a digit one off, two output lines swapped, the exit
status changed) must each fail.
"""

import argparse
import difflib
import os
import re
import shutil
import subprocess
import sys
import tempfile

STATUS = re.compile(r"^\[(\d+)\]$")
ELISION = "..."


class Command:
    def __init__(self, line_number, text):
        self.line_number = line_number
        self.text = text
        self.expected = []
        self.status = 0


def transcripts(text):
    """The transcripts of a page: lists of Commands, one list per block."""
    blocks = []
    block = None
    in_fence = False
    for number, line in enumerate(text.split("\n"), start=1):
        if line.startswith("```"):
            in_fence = not in_fence
            if block:
                blocks.append(block)
            block = None
            continue
        if not in_fence:
            continue
        if block is None:
            # A fenced block that does not start with a command is no transcript.
            block = [] if line.startswith("$ ") else False
        if block is False:
            continue
        if line.startswith("$ "):
            block.append(Command(number, line[2:]))
        else:
            block[-1].expected.append(line)
    for block in blocks:
        for command in block:
            status = STATUS.match(command.expected[-1]) if command.expected else None
            if status:
                command.status = int(status.group(1))
                command.expected.pop()
    return blocks


def matches(expected, actual):
    """Whether the actual lines are the expected ones, "..." standing for any lines."""
    pieces = [[]]
    for line in expected:
        if line == ELISION:
            pieces.append([])
        else:
            pieces[-1].append(line)
    if len(pieces) == 1:
        return expected == actual
    first, *middle, last = pieces
    if actual[:len(first)] != first or len(actual) < len(first) + len(last):
        return False
    end = len(actual) - len(last)
    if actual[end:] != last:
        return False
    # Each middle piece at its first place after the one before, which leaves
    # the most room for the pieces after it.
    at = len(first)
    for piece in middle:
        found = next((i for i in range(at, end - len(piece) + 1) if actual[i:i + len(piece)] == piece), None)
        if found is None:
            return False
        at = found + len(piece)
    return True


def scratch_folder(programs, sample):
    folder = tempfile.mkdtemp(prefix="streamtrim-transcript-")
    os.makedirs(os.path.join(folder, "build", "sample"))
    for program in ("streamtrim", "streamtrim-verify"):
        os.symlink(os.path.join(programs, program), os.path.join(folder, "build", program))
    shutil.copyfile(sample, os.path.join(folder, "build", "sample", "stream.log"))
    return folder


def run_block(page, block, programs, sample, report):
    """Runs one transcript; reports each difference and returns whether there was none."""
    folder = scratch_folder(programs, sample)
    environment = dict(os.environ, LC_ALL="C", PATH=os.path.join(folder, "build") + os.pathsep + os.environ["PATH"])
    try:
        for command in block:
            run = subprocess.run(["sh", "-c", command.text], cwd=folder, env=environment,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, timeout=300)
            actual = run.stdout.decode("utf-8", "replace").split("\n")
            if actual[-1] == "":
                actual.pop()
            if matches(command.expected, actual) and run.returncode == command.status:
                continue
            report(f"{page}:{command.line_number}: $ {command.text}")
            if run.returncode != command.status:
                report(f"  exit status {run.returncode}, the page says {command.status}")
            for line in difflib.unified_diff(command.expected, actual, "the page", "the run", lineterm=""):
                report("  " + line)
            return False
        return True
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def run_page(page, text, programs, sample, report=lambda line: print(line, file=sys.stderr)):
    blocks = transcripts(text)
    if not blocks:
        report(f"{page}: no transcript (a fenced block starting with \"$ \")")
        return False
    passed = [run_block(page, block, programs, sample, report) for block in blocks]
    print(f"{page}: {passed.count(True)} of {len(blocks)} transcripts as the page shows them")
    return all(passed)


def changed_copies(text):
    """Copies of a page, each with one transcript line changed, named for the change."""
    lines = text.split("\n")
    for block in transcripts(text):
        for command in block:
            # The page's line numbers of the command's output lines.
            first = command.line_number
            outputs = [first + i for i, line in enumerate(command.expected, start=1) if line != ELISION]
            for number in outputs:
                line = lines[number - 1]
                digit = re.search(r"\d", line)
                if digit:
                    changed = line[:digit.start()] + str((int(digit.group()) + 1) % 10) + line[digit.end():]
                    yield f"line {number}: a digit one off", lines[:number - 1] + [changed] + lines[number:]
                    break
            for a, b in zip(outputs, outputs[1:]):
                if b == a + 1 and lines[a - 1] != lines[b - 1]:
                    swapped = lines[:a - 1] + [lines[b - 1], lines[a - 1]] + lines[b:]
                    yield f"lines {a} and {b} swapped", swapped
                    break
            status_line = first + len(command.expected) + 1
            if command.status != 0:
                yield f"line {status_line}: the status dropped", lines[:status_line - 1] + lines[status_line:]
            else:
                yield f"line {status_line}: a status of 1", lines[:status_line - 1] + ["[1]"] + lines[status_line - 1:]


def self_test(page, text, programs, sample):
    if not run_page(page, text, programs, sample):
        return False
    caught = 0
    copies = list(changed_copies(text))
    for change, lines in copies:
        if run_page(f"{page} ({change})", "\n".join(lines), programs, sample, report=lambda line: None):
            print(f"{page}: a copy with {change} passed", file=sys.stderr)
        else:
            caught += 1
    print(f"{page}: {caught} of {len(copies)} changed copies failed, as they must")
    return bool(copies) and caught == len(copies)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("--programs", required=True, help="the folder of the built programs")
    parser.add_argument("--sample", required=True, help="the sample log")
    parser.add_argument("pages", nargs="+")
    options = parser.parse_args()
    programs = os.path.abspath(options.programs)
    sample = os.path.abspath(options.sample)
    passed = True
    for page in options.pages:
        with open(page, encoding="utf-8") as f:
            text = f.read()
        check = self_test if options.self_test else run_page
        passed = check(page, text, programs, sample) and passed
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
