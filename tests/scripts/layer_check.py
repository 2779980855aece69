#!/usr/bin/env python3
"""Checks that the includes of the libraries run downward only.

Reads every #include "..." in qvdata/ and dbfdrv/ and fails, printing the
offending lines, on one that reaches a folder above the including file's own.
The layers, lowest first (docs/DECISIONS.md, "Layers"):

  dbfdrv      its own folders, the public header folder include/, and of
              qvdata only storage/ (the keyed-file layer it plugs into)
  qvdata      storage < dictionary < services < mime < originals < wordindex
              < browse < persons < import < export < maintenance < tasks;
              of dbfdrv only its public header (dbfdrv/dbf_driver.h), from
              services/ up (the driver itself sits on storage/)

A file may include its own folder and any folder below it. An include
without a folder ("x.h") names a file beside the includer. System headers
(<...>) are not checked.

Usage: layer_check.py SOURCE_ROOT
"""

import pathlib
import re
import sys

QVDATA_ORDER = [
    "storage", "dictionary", "services", "mime", "originals", "wordindex",
    "browse", "persons", "import", "export", "maintenance", "tasks",
]
DBFDRV_FOLDERS = {"table", "index", "memo", "expr", "driver", "dbfdrv"}
DBFDRV_QVDATA_ALLOWED = {"storage"}
SOURCE_SUFFIXES = {".h", ".cpp"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def qvdata_problem(folder, target):
    """Why `folder` of qvdata may not include `target`, or None."""
    if target == "dbfdrv":
        if QVDATA_ORDER.index(folder) < QVDATA_ORDER.index("services"):
            return folder + " includes the driver, which sits above it"
        return None
    if target not in QVDATA_ORDER:
        return "qvdata includes the unknown folder " + target
    if QVDATA_ORDER.index(target) > QVDATA_ORDER.index(folder):
        return folder + " includes the higher layer " + target
    return None


def dbfdrv_problem(target):
    """Why dbfdrv may not include `target`, or None."""
    if target in DBFDRV_FOLDERS or target in DBFDRV_QVDATA_ALLOWED:
        return None
    return "dbfdrv includes " + target + " of qvdata"


def problems_in(root, library):
    found = []
    base = root / library
    for path in sorted(base.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        folder = path.relative_to(base).parts[0]
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match or "/" not in match.group(1):
                continue
            target = match.group(1).split("/")[0]
            if library == "qvdata":
                why = qvdata_problem(folder, target)
            else:
                why = dbfdrv_problem(target)
            if why:
                found.append(f"{path.relative_to(root)}:{number}: {line.strip()}  ({why})")
    return found


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    root = pathlib.Path(sys.argv[1])
    found = problems_in(root, "qvdata") + problems_in(root, "dbfdrv")
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) run upward", file=sys.stderr)
        return 1
    print("every include runs downward")
    return 0


if __name__ == "__main__":
    sys.exit(main())
