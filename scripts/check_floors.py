#!/usr/bin/env python3
"""Checks that quorvane's folders include only the floors below them.

    scripts/check_floors.py [--counts] [ROOT]

Every #include "folder/file.h" of a source file is an arrow from the file's
folder to the included file's folder. An arrow not in ALLOWED fails the check
(exit 1, one line per include). --counts prints the arrows between folders
with their number of includes. Tests, benchmarks and the library's insides
(morvellcanopen/, sim/) are not checked here; CMake keeps the library's layers.
share/ (libquorshare and quorshare) sits beside cli/: it may use the sharing
core, never quorvane's services or windows.
"""
import os
import re
import sys

# What each folder may include besides itself.
BINDINGS = {"canlib", "sync", "pennorak"}
CORES = {"trace/core", "transmit/core", "manager/core", "sharing/core"}
SERVICES = {"gui", "hardware", "sharing"}
WINDOWS = {"node", "trace", "transmit", "manager", "info"}
ALLOWED = {
    "canlib": set(),
    "sync": set(),
    "pennorak": set(),
    "trace/core": {"sync", "canlib"},
    "manager/core": {"trace/core", "sync", "canlib"},
    "transmit/core": {"trace/core", "sync", "canlib"},
    "sharing/core": {"sync", "canlib"},
    "trace/quordecode": {"trace/core"},
    "cli": {"trace/core", "sync", "canlib"},
    "share": {"sharing/core", "canlib"},
    "gui": CORES | BINDINGS,
    "hardware": {"gui"} | CORES | BINDINGS,
    "sharing": {"gui"} | CORES | BINDINGS,
    **{w: SERVICES | CORES | BINDINGS for w in WINDOWS},
    "app": WINDOWS | SERVICES | CORES | BINDINGS,
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    parts = path.split("/")
    if len(parts) > 2 and parts[1] in ("core", "quordecode"):
        return parts[0] + "/" + parts[1]
    return parts[0]


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    root = args[0] if args else os.path.join(os.path.dirname(__file__), "..")
    arrows, faults = {}, []
    for top in ALLOWED:
        base = os.path.join(root, top.split("/")[0])
        for directory, _, files in os.walk(base):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp", ".c")):
                    continue
                path = os.path.relpath(os.path.join(directory, name), root)
                source = folder_of(path)
                if source != top:
                    continue
                with open(os.path.join(root, path), errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if not match or "/" not in match.group(1):
                            continue  # same-folder include
                        target = folder_of(match.group(1))
                        if target == source:
                            continue
                        arrows[(source, target)] = arrows.get((source, target), 0) + 1
                        if target not in ALLOWED[source]:
                            faults.append(f"{path}:{number}: {source} may not include {match.group(1)}")
    if "--counts" in sys.argv:
        for (source, target), count in sorted(arrows.items()):
            print(f"{source:18} -> {target:18} {count}")
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
