#!/usr/bin/env python3
"""doc_snippets.py DOC FILE...: every fenced block of DOC after a line
"<!-- tested: PATH -->" must stand in PATH (relative to the repository),
line for line, indentation as a whole aside; and each FILE named must have
at least one such block, so that no integration's snippet goes unchecked."""
import os
import re
import sys
import textwrap

root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def dedented(lines):
    return textwrap.dedent("\n".join(line.rstrip() for line in lines)).split("\n")


def stands_in(block, lines):
    want = dedented(block)
    return any(dedented(lines[i:i + len(block)]) == want for i in range(len(lines) - len(block) + 1))


def main():
    doc, required = sys.argv[1], sys.argv[2:]
    text = open(doc, encoding="utf-8").read().split("\n")
    checked, failures = set(), 0
    i = 0
    while i < len(text):
        marker = re.fullmatch(r"<!-- tested: (\S+) -->", text[i].strip())
        i += 1
        if not marker:
            continue
        path = marker.group(1)
        if i >= len(text) or not text[i].startswith("```"):
            print(f"FAILED: the marker for {path} stands before no fenced block")
            failures += 1
            continue
        end = text.index("```", i + 1)
        block = text[i + 1:end]
        i = end + 1
        with open(os.path.join(root, path), encoding="utf-8") as source:
            lines = source.read().split("\n")
        if stands_in(block, lines):
            print(f"{path}: the {len(block)} lines shown stand in the file")
            checked.add(path)
        else:
            print(f"FAILED: the snippet for {path} ({block[0].strip()} ...) is not in the file")
            failures += 1
    for path in required:
        if path not in checked:
            print(f"FAILED: the documentation shows no checked snippet of {path}")
            failures += 1
    return 1 if failures else 0


sys.exit(main())
