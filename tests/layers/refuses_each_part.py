#!/usr/bin/env python3
"""The layer check over a tree holding one upward include in each part must
fail and name every one of them: a check that finds nothing would pass too.

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
    parts = {p.relative_to(tree).parts[0] for p in planted}
    print(f"{len(planted) - len(missed)} of {len(planted)} upward includes reported, in {sorted(parts)}")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
