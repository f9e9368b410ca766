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
PUBLIC = {"tavro_api.h", "vnsdm.h", "vnsdm_part.h", "vnwmi.h"}


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


def self_test():
    """The checker must fail a tree with an upward include, an unqualified
    include, a cycle between two areas, and the simulator's header."""
    import tempfile
    cases = {
        "upward": {"frame/a.cpp": '#include "session/b.h"\n', "session/b.h": ""},
        "unqualified": {"frame/a.cpp": '#include "b.h"\n', "frame/b.h": ""},
        "cycle": {"info/a.h": '#include "nvram/b.h"\n', "nvram/b.h": '#include "info/a.h"\n'},
        "simulator": {"device/a.cpp": '#include "vnsdm_sim.h"\n'},
    }
    good = {"session/a.cpp": '#include "frame/b.h"\n#include "tavro_api.h"\n', "frame/b.h": ""}
    failures = 0
    for name, files in list(cases.items()) + [("good", good)]:
        with tempfile.TemporaryDirectory() as tmp:
            for rel, text in files.items():
                path = Path(tmp) / rel
                path.parent.mkdir(parents=True, exist_ok=True)
                path.write_text(text)
            got = main(tmp)
            if got != (0 if name == "good" else 1):
                print(f"self-test {name}: checker answered {got}")
                failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] == "--self-test":
        sys.exit(self_test())
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "src"))
