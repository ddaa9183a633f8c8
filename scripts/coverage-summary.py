#!/usr/bin/env python3
"""Line and branch coverage per folder from a gcovr JSON summary.

    coverage-summary.py summary.json

Folders are the layers under src/ (each on its own, src/ui as one) and the reference engine
(each of its parts, then engine as a whole)."""
import json
import sys
from collections import defaultdict


def folder_of(path):
    parts = path.split("/")
    if parts[0] == "src" and len(parts) > 2:
        return "src/" + parts[1]
    if parts[0] == "engine" and len(parts) > 2:
        return "engine/" + parts[1]
    return None


def main():
    with open(sys.argv[1]) as f:
        summary = json.load(f)
    totals = defaultdict(lambda: [0, 0, 0, 0])
    for entry in summary["files"]:
        folder = folder_of(entry["filename"])
        if folder is None:
            continue
        for key in (folder, folder.split("/")[0]):
            t = totals[key]
            t[0] += entry["line_covered"]
            t[1] += entry["line_total"]
            t[2] += entry["branch_covered"]
            t[3] += entry["branch_total"]

    def pct(covered, total):
        return f"{100.0 * covered / total:5.1f} %" if total else "    - "

    print(f"{'folder':<18} {'lines':>8} {'of':>6} {'line':>8} {'branch':>8}")
    for key in sorted(totals, key=lambda k: (k.split("/")[0], "/" not in k, k)):
        covered, total, bcovered, btotal = totals[key]
        print(f"{key:<18} {covered:>8} {total:>6} {pct(covered, total):>8} {pct(bcovered, btotal):>8}")


if __name__ == "__main__":
    main()
