#!/usr/bin/env python3
"""Checks that the build keeps the floors apart: compiled with the include
directories its library is built with, each floor reaches the headers of its
own and lower floors, and an include of a higher floor's header fails; and
that no source includes a path that climbs out of its folder ("../") or
starts at the root, which would pass by the include roots, and that the
module's system includes are the standard library's.

    floors.py COMPILER FLAGS_DIR SOURCE_DIR

FLAGS_DIR holds <floor>.flags, the -I options of each floor's library, one a
line (written by the build). Exits 1 with every failed case printed."""
import glob
import os
import re
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

HEADLESS = ["toolkit", "automation", "app", "session", "serve", "main"]
# What each floor may include, besides the headless floors below it.
EXTRA = {"toolkit": ["host"], "app": ["assess"], "assess": [], "module": ["host"]}


def visible(floor):
    seen = {floor} | set(EXTRA.get(floor, []))
    if floor in HEADLESS:
        below = HEADLESS[:HEADLESS.index(floor) + 1]
        for lower in below:
            seen |= {lower} | set(EXTRA.get(lower, []))
    return seen


def sample_header(source, floor):
    """One header of the floor, as its includers name it."""
    root = {"host": "host", "assess": "assess", "module": "af_zot"}.get(floor, "headless")
    folder = os.path.join(source, root, floor if root == "headless" else "")
    first = sorted(glob.glob(os.path.join(folder, "**", "*.h"), recursive=True))[0]
    return os.path.relpath(first, os.path.join(source, root))


def probe(compiler, flags_dir, floor, header, expected):
    flags = open(os.path.join(flags_dir, floor + ".flags")).read().split("\n")
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", dir=flags_dir) as unit:
        unit.write(f'#include "{header}"\n')
        unit.flush()
        result = subprocess.run([compiler, "-std=c++17", "-E", "-o", os.devnull, *[f for f in flags if f], unit.name],
                                capture_output=True, text=True)
    found = result.returncode == 0
    if found == expected:
        # A failure must be the missing header, not some other fault.
        if found or re.search(re.escape(header) + r".*(No such file|not found)", result.stderr):
            return None
    verdict = "reaches" if found else "does not reach"
    return f"{floor} {verdict} {header}\n{result.stderr}"


# The C library headers the module may use beside the C++ standard library's.
C_HEADERS = {"assert.h", "ctype.h", "errno.h", "float.h", "inttypes.h", "limits.h", "math.h", "stdarg.h",
             "stdbool.h", "stddef.h", "stdint.h", "stdio.h", "stdlib.h", "string.h", "time.h"}


def stray_includes(source):
    """Includes that climb out of their folder or start at the root, and the
    module's system includes that are not the standard library's."""
    pattern = re.compile(r'^\s*#\s*include\s*([<"])([^>"]*)[>"]')
    faults = []
    for area in ("headless", "af_zot", "assess", "host"):
        for path in glob.glob(os.path.join(source, area, "**", "*.[ch]*"), recursive=True):
            for number, line in enumerate(open(path, errors="replace"), 1):
                match = pattern.match(line)
                if not match:
                    continue
                name = match.group(2)
                climbs = name.startswith("/") or ".." in name.split("/")
                foreign = area == "af_zot" and match.group(1) == "<" and "." in name and name not in C_HEADERS
                if climbs or foreign:
                    faults.append(f"{os.path.relpath(path, source)}:{number}: {line.strip()}")
    return faults


def main():
    compiler, flags_dir, source = sys.argv[1:4]
    floors = HEADLESS + ["assess", "module"]
    headers = {floor: sample_header(source, floor) for floor in floors + ["host"]}
    cases = [(floor, headers[other], other in visible(floor)) for floor in floors for other in headers]
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        failures = [f for f in pool.map(lambda c: probe(compiler, flags_dir, *c), cases) if f]
    failures += [f"stray include: {f}" for f in stray_includes(source)]
    for failure in failures:
        print(failure)
    print(f"floors: {len(cases)} includes checked, {len(failures)} faults")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
