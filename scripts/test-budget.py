#!/usr/bin/env python3
"""Fails when the tests outgrow their budget: test lines over production lines above 0.35.

Tests are the *_test.* files and everything under a folder named e2e, test, tests or fuzz (C, C++,
Python and shell); production is the other C and C++ sources outside bench/. Each tracked file is
counted as clang-format (the repository's .clang-format) or black -l 100 lays it out, so that
packing more onto a line changes nothing; shell as written. Blank lines and comment-only lines do
not count: // and /* */ in C and C++, # in Python and shell (but #!).

    scripts/test-budget.py
"""

import os
import re
import subprocess
import sys
from pathlib import Path

BUDGET = 0.35
TEST_FOLDERS = {"e2e", "test", "tests", "fuzz"}
C_FAMILY = (".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp")
TEST_KINDS = (".c", ".cc", ".cpp", ".h", ".hpp", ".py", ".sh")


def is_test(path):
    *folders, name = path.split("/")
    return re.search(r"_test\.\w+$", name) is not None or not TEST_FOLDERS.isdisjoint(folders)


def laid_out(path):
    """The file's text as the project's formatters lay it out; shell as written."""
    with open(path, "rb") as source:
        text = source.read()
    if path.endswith(".py"):
        command = ["black", "-q", "-l", "100", "-"]
    elif path.endswith(C_FAMILY):
        command = ["clang-format", "--style=file", f"--assume-filename={path}"]
    else:
        return text.decode("utf-8", errors="replace")
    result = subprocess.run(command, input=text, capture_output=True, check=True)
    return result.stdout.decode("utf-8", errors="replace")


def code_lines(path):
    """Lines that are neither blank nor only a comment."""
    c_family = path.endswith(C_FAMILY)
    count = 0
    in_block = False
    for line in laid_out(path).splitlines():
        text = line.strip()
        if in_block:
            if "*/" not in text:
                continue
            in_block = False
            text = text.split("*/", 1)[1].strip()
        while c_family and text.startswith("/*"):
            in_block = "*/" not in text
            text = "" if in_block else text.split("*/", 1)[1].strip()
        if c_family and text.startswith("//"):
            continue
        if not c_family and text.startswith("#") and not text.startswith("#!"):
            continue
        if text:
            count += 1
    return count


def main():
    os.chdir(Path(__file__).resolve().parent.parent)
    files = subprocess.run(["git", "ls-files"], capture_output=True, text=True, check=True)
    tests = production = 0
    for path in files.stdout.splitlines():
        if is_test(path) and path.endswith(TEST_KINDS):
            tests += code_lines(path)
        elif not is_test(path) and path.endswith(C_FAMILY) and not path.startswith("bench/"):
            production += code_lines(path)
    ratio = tests / production
    print(f"test budget: {tests} test lines / {production} production lines = {ratio:.3f}")
    if ratio > BUDGET:
        sys.exit(f"test budget: over {BUDGET}; make the tests fewer and stronger")


if __name__ == "__main__":
    main()
