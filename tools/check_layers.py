#!/usr/bin/env python3
"""Checks that the source folders form layers: no folder includes, through any chain of
includes, a folder that includes it back (the house has no upward arrow).

Every `#include "folder/file.h"` of a .cpp or .h file in a source folder is an arrow from its
folder to the included one. The arrows between folders must form no cycle. Prints each cycle with
the includes that make it and exits 1; exits 0 when the folders are layered."""

import os
import re
import sys

SOURCE_FOLDERS = ["text", "engine", "settings", "documents", "learning", "dictionaries",
                  "context", "run", "server", "cli", "app", "ui", "about", "resources"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([a-z_]+)/[^"]+"', re.M)


def folder_arrows(root):
    """{from: {to: [(file, included line)]}} over the source folders that exist under root."""
    arrows = {}
    for folder in SOURCE_FOLDERS:
        path = os.path.join(root, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith((".cpp", ".h")):
                continue
            file = os.path.join(folder, name)
            with open(os.path.join(root, file), encoding="utf-8") as source:
                text = source.read()
            for match in INCLUDE.finditer(text):
                target = match.group(1)
                if target != folder and target in SOURCE_FOLDERS:
                    arrows.setdefault(folder, {}).setdefault(target, []).append(
                        (file, match.group(0).strip()))
    return arrows


def cycles(arrows):
    """Every strongly connected group of two or more folders (Tarjan's algorithm)."""
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for target in arrows.get(node, {}):
            if target not in index:
                visit(target)
                low[node] = min(low[node], low[target])
            elif target in on_stack:
                low[node] = min(low[node], index[target])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(arrows):
        if node not in index:
            visit(node)
    return groups


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    arrows = folder_arrows(root)
    found = cycles(arrows)
    for group in found:
        print("folders that include each other: " + ", ".join(group))
        for source in group:
            for target, includes in sorted(arrows.get(source, {}).items()):
                if target in group:
                    for file, line in includes:
                        print(f"  {file}: {line}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
