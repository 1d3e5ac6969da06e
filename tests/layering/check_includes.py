#!/usr/bin/env python3
"""Checks every #include of the product's sources against the README's "What links what":
a file may include its own folder's headers and those of folders its folder links, directly or
through others. Prints each include that breaks an arrow; the exit status is the verdict.
Usage: check_includes.py REPOSITORY [README]"""
import pathlib
import re
import subprocess
import sys

repo = pathlib.Path(sys.argv[1]).resolve()
readme = pathlib.Path(sys.argv[2]) if len(sys.argv) > 2 else repo / "README.md"


def arrows(text):
    """The graph of the block after "What links what": folder -> folders it links."""
    block = text.split("What links what", 1)[1].split("```")[1]
    graph, folders = {}, []
    for line in block.splitlines():
        if "->" in line:
            left, right = line.split("->", 1)
            folders = [f.strip().rstrip("/") for f in left.split(",")]
        elif line.strip():
            right = line  # a long row goes on, indented, on the next line
        else:
            continue
        right = re.sub(r"\([^)]*\)", "", right)  # remarks in parentheses name no folder
        targets = [t.strip().rstrip("/") for t in right.split(",")]
        targets = [t.split()[0] for t in targets if t.strip() and t.split()[0] != "nothing"]
        for folder in folders:
            graph.setdefault(folder, set()).update(targets)
    return graph


def reachable(graph, start):
    seen, todo = {start}, [start]
    while todo:
        for nxt in graph.get(todo.pop(), ()):
            if nxt not in seen:
                seen.add(nxt)
                todo.append(nxt)
    return seen


def folder_of(path, folders):
    """The longest folder of the graph that holds `path`, or None."""
    best = None
    for folder in folders:
        if (path == folder or path.startswith(folder + "/")) and len(folder) > len(best or ""):
            best = folder
    return best


def main():
    graph = arrows(readme.read_text(encoding="utf-8"))
    folders = set(graph) | {t for targets in graph.values() for t in targets}
    listing = subprocess.run(["git", "-C", str(repo), "ls-files"], capture_output=True, text=True)
    if listing.returncode != 0:
        print("SKIP: not a git checkout, so the product's files are not known")
        return 77
    files = listing.stdout.split()
    tracked = set(files)
    # Include roots, searched as the build's include directories are.
    roots = ["", "app/", "tools/", "supportlib/include/", "supportlib/core/"]
    broken = []
    for name in files:
        own = folder_of(name, folders)
        if own is None or not re.search(r"\.(cpp|h|in)$", name):
            continue
        allowed = reachable(graph, own)
        here = name.rsplit("/", 1)[0] + "/"
        text = (repo / name).read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            match = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
            if not match:
                continue
            candidates = [here + match[1]] + [root + match[1] for root in roots]
            target = next((c for c in candidates if c in tracked), None)
            if target is None:
                continue  # generated at build time
            their = folder_of(target, folders)
            if their is not None and their not in allowed:
                broken.append(f"{name}:{number}: {own} includes {target} ({their}), "
                              f"which {own} does not link")
    print("\n".join(broken) if broken else f"{len(files)} files: every include follows an arrow")
    return 1 if broken else 0


sys.exit(main())
