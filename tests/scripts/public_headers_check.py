#!/usr/bin/env python3
"""Checks that other targets include only the public headers of the libraries.

The public headers of libqvdata and libdbfdrv are listed in their
public_headers.txt (docs/DECISIONS.md, "Layers and the libraries' public
faces"); dbfdrv's folder include/ is public as a whole. The check fails,
printing the offending lines, on an include in qvmain/, qvcli/, qvconv/,
qvprint/ or bench/ that names a private header of a library, and on a public
header that includes a private one (its users could not compile it). An
include that a file's own folder or target answers is the target's own.

Usage: public_headers_check.py SOURCE_ROOT
"""

import pathlib
import re
import sys

LIBRARIES = ["qvdata", "dbfdrv"]
CONSUMERS = ["qvmain", "qvcli", "qvconv", "qvprint", "bench"]
SOURCE_SUFFIXES = {".h", ".cpp"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def public_list(root, library):
    lines = (root / library / "public_headers.txt").read_text(encoding="utf-8").splitlines()
    return {line.strip() for line in lines if line.strip() and not line.startswith("#")}


def includes(path):
    text = path.read_text(encoding="utf-8", errors="replace").splitlines()
    for number, line in enumerate(text, 1):
        match = INCLUDE.match(line)
        if match:
            yield number, line.strip(), match.group(1)


def library_of(root, header):
    """The library whose private source tree holds `header`, or None."""
    for library in LIBRARIES:
        if (root / library / header).is_file():
            return library
    return None


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    root = pathlib.Path(sys.argv[1])
    public = {library: public_list(root, library) for library in LIBRARIES}
    found = []
    for consumer in CONSUMERS:
        for path in sorted((root / consumer).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            for number, line, header in includes(path):
                if (path.parent / header).is_file() or (root / consumer / header).is_file():
                    continue
                library = library_of(root, header)
                if library and header not in public[library]:
                    found.append(f"{path.relative_to(root)}:{number}: {line}  (private to {library})")
    for library in LIBRARIES:
        for header in sorted(public[library]):
            path = root / library / header
            if not path.is_file():
                found.append(f"{library}/public_headers.txt: {header} does not exist")
                continue
            for number, line, included in includes(path):
                other = library_of(root, included)
                if other and included not in public[other]:
                    found.append(f"{path.relative_to(root)}:{number}: {line}  (a public header includes "
                                 f"a private one of {other})")
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) reach private headers", file=sys.stderr)
        return 1
    print("other targets include public headers only")
    return 0


if __name__ == "__main__":
    sys.exit(main())
