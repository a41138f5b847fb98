#!/usr/bin/env python3
"""Checks every copy of the client's exit-status table against app/exit_status.h.

The enum ExitStatus in app/exit_status.h is the table: each enumerator's value, and its meaning
in the one-line comment above it. A full copy lists every status, in the header's order; a partial
copy (a README that shows only the statuses a script branches on) may leave rows out. Each row a
copy shows must have a status of the header, the value a POSIX shell sees (the low 8 bits) where
the copy has that column, and the header's meaning word for word: only runs of blanks and line
breaks count as one space. Any difference fails, naming the copy, its line and the row.

    scripts/check-exit-table.py
"""

import re
import sys
from pathlib import Path
from typing import NamedTuple, Optional

ROOT = Path(__file__).resolve().parent.parent
HEADER = "app/exit_status.h"


class Row(NamedTuple):
    status: int
    shell: Optional[int]  # None where the copy has no column for the shell's value
    meaning: str
    line: int


def words(text):
    return " ".join(text.split())


def header_rows(text):
    """The enum's rows; fails on an enumerator without its one-line comment."""
    body = re.search(r"enum ExitStatus[^{]*\{(.*?)\};", text, re.S)
    if not body:
        sys.exit(f"{HEADER}: no enum ExitStatus")
    first_line = text[: body.start(1)].count("\n") + 1
    rows = []
    comment = None
    for number, line in enumerate(body.group(1).split("\n"), first_line):
        line = line.strip()
        enumerator = re.fullmatch(r"k\w+ = (-?\d+),", line)
        if line.startswith("//"):
            comment = line[2:].strip()
        elif enumerator:
            if comment is None:
                sys.exit(f"{HEADER}:{number}: {line} has no comment with its meaning above it")
            rows.append(Row(int(enumerator.group(1)), None, comment, number))
            comment = None
    return rows


def man_rows(text):
    """The rows of the tbl table in the EXIT STATUS section: status, shell value, meaning."""
    lines = text.split("\n")
    if ".SH EXIT STATUS" not in lines:
        return []
    rows = []
    number = lines.index(".SH EXIT STATUS")
    while lines[number] != ".TE":
        number += 1
        cells = lines[number].split("\t")
        if len(cells) != 3 or cells[0] == "Status":
            continue
        status, shell, meaning = (cell.replace("\\-", "-") for cell in cells)
        row_line = number + 1
        if meaning == "T{":
            block = []
            number += 1
            while lines[number] != "T}":
                block.append(lines[number].replace("\\-", "-"))
                number += 1
            meaning = " ".join(block)
        rows.append(Row(int(status), int(shell), meaning, row_line))
    return rows


def windows_rows(text):
    """The rows under the Exit status heading: the status right-aligned in 7 columns, two
    blanks, the meaning, and its continuation lines indented by 9 blanks."""
    lines = text.split("\n")
    if "Exit status" not in lines:
        return []
    rows = []
    number = lines.index("Exit status")
    while number + 1 < len(lines):
        number += 1
        line = lines[number]
        row = re.fullmatch(r" {0,6}(-?\d+)  (\S.*)", line)
        continuation = re.fullmatch(r" {9}(\S.*)", line)
        if row and len(line) - len(line.lstrip()) + len(row.group(1)) == 7:
            rows.append(Row(int(row.group(1)), None, row.group(2), number + 1))
        elif continuation and rows:
            last = rows[-1]
            rows[-1] = last._replace(meaning=last.meaning + " " + continuation.group(1))
        elif rows and not line.strip():
            break
    return rows


def markdown_rows(text):
    """The rows of every Markdown table whose first column is headed Status."""
    rows = []
    columns = None
    for number, line in enumerate(text.split("\n"), 1):
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if not line.startswith("|"):
            columns = None
        elif cells[0] == "Status":
            columns = cells
        elif columns and not set(cells[0]) <= set("-: "):
            values = dict(zip(columns, cells))
            shell = values.get("Shell")
            rows.append(Row(int(cells[0]), shell and int(shell), values["Meaning"], number))
    return rows


# Each copy: its path, how to read it, and whether it must list every status.
COPIES = [
    ("man/larkwire.1.in", man_rows, True),
    ("packaging/README.windows.txt.in", windows_rows, True),
    ("packaging/README.user.md", markdown_rows, False),
    ("README.md", markdown_rows, False),
]


def differences(path, rows, table, full):
    meanings = {row.status: row.meaning for row in table}
    found = []
    seen = set()
    for row in rows:
        where = f"{path}:{row.line}: row {row.status}"
        if row.status not in meanings:
            found.append(f"{where}: {HEADER} has no status {row.status}")
            continue
        if row.status in seen:
            found.append(f"{where}: the status is listed twice")
        seen.add(row.status)
        if row.shell is not None and row.shell != row.status % 256:
            found.append(f"{where}: shell value {row.shell}, but a shell sees {row.status % 256}")
        if words(row.meaning) != words(meanings[row.status]):
            found.append(
                f"{where}: meaning differs from {HEADER}\n"
                f"    copy:   {words(row.meaning)}\n    header: {words(meanings[row.status])}"
            )
    if not rows:
        found.append(f"{path}: no exit-status table found")
    elif full:
        for status in meanings:
            if status not in seen:
                found.append(f"{path}: row {status} is missing")
        if not found and [row.status for row in rows] != list(meanings):
            found.append(f"{path}: the rows are not in the order of {HEADER}")
    return found


def main():
    table = header_rows((ROOT / HEADER).read_text())
    found = []
    for path, read_rows, full in COPIES:
        found += differences(path, read_rows((ROOT / path).read_text()), table, full)
    for difference in found:
        print(difference, file=sys.stderr)
    if found:
        sys.exit(f"exit-status table: the copies above differ from {HEADER}")
    print(f"exit-status table: {len(COPIES)} copies agree with {HEADER} ({len(table)} statuses)")


if __name__ == "__main__":
    main()
