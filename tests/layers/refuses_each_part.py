#!/usr/bin/env python3
"""The layer check over a tree holding one upward include in each part, and a
system header included outside the platform floor, must fail and name every
one of them, the system header as such: a check that finds nothing would pass
too.

Usage: refuses_each_part.py CHECK_SCRIPT VIOLATION_TREE
"""
import pathlib
import subprocess
import sys


def main() -> int:
    check, tree = sys.argv[1], pathlib.Path(sys.argv[2])
    run = subprocess.run([sys.executable, check, str(tree)], capture_output=True, text=True)
    if run.returncode != 1:
        print(f"the check gave status {run.returncode}, not 1:\n{run.stdout}{run.stderr}")
        return 1
    planted = sorted(p for p in tree.rglob("*") if p.is_file())
    missed = [p for p in planted if f"{p}:" not in run.stdout]
    for p in missed:
        print(f"not reported: {p}")
    # The planted system header is refused for what it is, not as an upward include.
    calls = [p for p in planted if p.name == "calls_the_system.cpp"]
    if not calls:
        print("no planted system header (calls_the_system.cpp) in the tree")
        missed.append(tree)
    for p in calls:
        if not any(line.startswith(f"{p}:") and "system header" in line for line in run.stdout.splitlines()):
            print(f"not reported as a system header: {p}")
            missed.append(p)
    parts = {p.relative_to(tree).parts[0] for p in planted}
    print(f"{len([p for p in planted if p not in missed])} of {len(planted)} planted includes reported, in {sorted(parts)}")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
