#!/usr/bin/env python3
"""The program's parts include one another without a circle.

A part is a header with the sources that implement it: X.h with X.cpp, and
the main window's Unit1.h with every Unit1*.cpp that has no header of its
own. Part A depends on part B
when a file of A includes B's header. A circle (A needs B needs ... A) means
neither can be understood, built or replaced alone; the check names it.
Usage: include_graph.py SOURCE_DIR
"""
import os
import re
import sys

FOLDERS = ["app", "toolkit", "live", "panorama", "sky", "aiming", "pointing", "recording", "settings",
           "firmware", "device", "common"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def main(root):
    def part_of(path):
        stem, _ = os.path.splitext(path)
        folder, name = os.path.split(stem)
        if not os.path.exists(os.path.join(root, stem + ".h")) and re.fullmatch(r"Unit1\w*", name):
            return os.path.join(folder, "Unit1")
        return stem

    edges = {}
    for folder in FOLDERS:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for f in files:
                if not f.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(base, f), root)
                with open(os.path.join(root, path), encoding="utf-8") as text:
                    includes = INCLUDE.findall(text.read())
                a = part_of(path)
                for inc in includes:
                    if os.path.exists(os.path.join(root, inc)):
                        b = part_of(inc)
                        if b != a:
                            edges.setdefault(a, set()).add(b)
    state, stack = {}, []

    def visit(a):
        state[a] = 1
        stack.append(a)
        for b in sorted(edges.get(a, ())):
            if state.get(b) == 1:
                circle = stack[stack.index(b):] + [b]
                print("include circle: " + " -> ".join(circle), file=sys.stderr)
                sys.exit(1)
            if b not in state:
                visit(b)
        stack.pop()
        state[a] = 2

    for a in sorted(edges):
        if a not in state:
            visit(a)
    print(f"{len(edges)} parts, no include circle")


main(sys.argv[1] if len(sys.argv) > 1 else ".")
