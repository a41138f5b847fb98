#!/usr/bin/env python3
"""Fails on an include that breaks the one-way rule between the folders: app/ uses command/,
exchange/ and platform/; exchange/ uses platform/; command/ needs only the JSON library;
platform/ nothing of ours; larkwire-sim may use platform/ but none of the client's folders.
Tests, fuzzers and benchmarks may include anything."""
import re
import subprocess
import sys

MAY_INCLUDE = {
    "app": {"app", "command", "exchange", "platform"},
    "exchange": {"exchange", "platform"},
    "command": {"command"},
    "platform": {"platform"},
    "sim": {"sim", "platform"},
}

broken = []
files = subprocess.run(["git", "ls-files", "*.cc", "*.h"], capture_output=True, text=True).stdout
for path in files.split():
    folder = path.split("/")[0]
    if folder not in MAY_INCLUDE:
        continue
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        included = re.match(r'\s*#\s*include\s+"([^"/]+)/', line)
        if included and included[1] not in MAY_INCLUDE[folder]:
            broken.append(f"{path}:{number}: {folder}/ may not include {included[1]}/")
print("\n".join(broken) or "every include keeps the one-way rule")
sys.exit(1 if broken else 0)
