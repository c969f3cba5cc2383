"""Prints the fixed file version of every module in the given folders or files, as pefile reads
it, one "<file name><TAB><version>" line each in file-name order; the version is empty when
the module has no version resource. The version reader's tests compare their answers with it."""
import pathlib
import sys

import pefile


def fixed_file_version(path):
    pe = pefile.PE(str(path), fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    infos = getattr(pe, "VS_FIXEDFILEINFO", None)
    if not infos:
        return ""
    fixed = infos[0]
    return "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                            fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)


def modules(arguments):
    for argument in arguments:
        path = pathlib.Path(argument)
        if path.is_dir():
            yield from (child for child in path.iterdir() if child.is_file())
        else:
            yield path


if len(sys.argv) < 2:
    sys.exit("usage: cross_check_versions.py FOLDER_OR_MODULE...")

for module in sorted(modules(sys.argv[1:]), key=lambda p: p.name):
    print("%s\t%s" % (module.name, fixed_file_version(module)))
