#!/usr/bin/python3
"""Writes one payload archive with a fixed, reproducible layout.

Usage: write_archive.py OUTPUT.zip ENTRY [ENTRY ...]

  ENTRY is either  dir:NAME        a folder entry (NAME ends in a backslash), stored
              or   file:NAME=PATH  a file entry with the bytes of PATH, deflated

Entries are written in the order given. Names are taken as they are, backslashes
included, because the installer unpacks them on Windows with the backslash as
the separator. Every entry gets the same timestamp, the MS-DOS host and plain
MS-DOS attributes (directory 0x10, archive 0x20), so the same inputs always give
the same bytes.
"""

import os
import sys
import zipfile

TIMESTAMP = (2025, 3, 14, 12, 0, 0)
ATTR_DIRECTORY = 0x10
ATTR_ARCHIVE = 0x20
HOST_MSDOS = 0


def make_info(name, is_dir):
    info = zipfile.ZipInfo("placeholder", date_time=TIMESTAMP)
    # Assigned after construction: on a Windows Python the constructor would turn
    # backslashes into slashes.
    info.filename = name
    info.orig_filename = name
    info.create_system = HOST_MSDOS
    info.external_attr = ATTR_DIRECTORY if is_dir else ATTR_ARCHIVE
    info.compress_type = zipfile.ZIP_STORED if is_dir else zipfile.ZIP_DEFLATED
    return info


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)

    output = argv[1]
    entries = []
    for arg in argv[2:]:
        kind, _, rest = arg.partition(":")
        if kind == "dir":
            if not rest.endswith("\\"):
                sys.exit(f"write_archive: folder entry '{rest}' must end in a backslash")
            entries.append((make_info(rest, True), b""))
        elif kind == "file":
            name, sep, path = rest.partition("=")
            if not sep or not name or name.endswith("\\"):
                sys.exit(f"write_archive: bad file entry '{arg}'")
            with open(path, "rb") as f:
                entries.append((make_info(name, False), f.read()))
        else:
            sys.exit(f"write_archive: unknown entry kind in '{arg}'")

    names = [info.filename for info, _ in entries]
    if len(set(names)) != len(names):
        sys.exit("write_archive: duplicate entry names")

    partial = output + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for info, data in entries:
            archive.writestr(info, data, compresslevel=9 if info.compress_type == zipfile.ZIP_DEFLATED else None)
    os.replace(partial, output)


if __name__ == "__main__":
    main(sys.argv)
