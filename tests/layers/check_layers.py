#!/usr/bin/env python3
"""Checks the library's layering from its sources: every quoted include is
qualified by folder, no folder includes one above it, no two folders include
each other through any path, and nothing sees the simulator's own headers."""
import re
import sys
from pathlib import Path

RANKS = {"base": 0, "frame": 1, "device": 2, "adapters": 3, "render": 4, "session": 5, "command": 6}
TOP = {"cli": 9, "menus": 9}
AREA_RANK = 7  # info, nvram, boot, flash, ... : beside each other, above command
FORBIDDEN = {"vnsdm_sim.h"}
PUBLIC = {"tavro_api.h", "vnsdm.h", "vnwmi.h"}


def rank(folder):
    return RANKS.get(folder, TOP.get(folder, AREA_RANK))


def main(src):
    src = Path(src)
    edges = {}
    problems = []
    include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
    for path in sorted(src.glob("*/*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        folder = path.parent.name
        for name in include.findall(path.read_text(errors="replace")):
            where = f"{path.relative_to(src)}: \"{name}\""
            if name in FORBIDDEN or "platform/" in name:
                problems.append(f"{where} is the simulator's own header")
                continue
            if "/" not in name:
                if name not in PUBLIC:
                    problems.append(f"{where} is not qualified by its folder")
                continue
            target = name.split("/", 1)[0]
            if not (src / name).exists():
                problems.append(f"{where} does not exist")
                continue
            if target == folder:
                continue
            if rank(target) > rank(folder):
                problems.append(f"{where} includes a layer above {folder}")
            edges.setdefault(folder, set()).add(target)
    # Folders of one rank (the areas) may use each other, but never in a circle.
    def reach(start):
        seen, todo = set(), [start]
        while todo:
            for nxt in edges.get(todo.pop(), ()):
                if nxt not in seen:
                    seen.add(nxt)
                    todo.append(nxt)
        return seen
    for folder in sorted(edges):
        if folder in reach(folder):
            problems.append(f"{folder}: include cycle between folders")
    for p in problems:
        print(p)
    print(f"{len(problems)} layering problems in {src}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src"))
