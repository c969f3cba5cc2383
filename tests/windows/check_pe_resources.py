"""Checks the version block, icon groups and manifest of a Windows executable."""
import re
import struct
import subprocess
import sys

import pefile

passed = 0
failed = 0


def check(condition, what):
    global passed, failed
    if condition:
        passed += 1
    else:
        failed += 1
        print("FAILED:", what)


def resource_entries(pe, type_id):
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id == type_id:
            return entry.directory.entries
    return []


def resource_bytes(pe, name_entry):
    language = name_entry.directory.entries[0]
    data = language.data.struct
    return pe.get_data(data.OffsetToData, data.Size)


exe = sys.argv[1]
pe = pefile.PE(exe)

# Version block
fixed = pe.VS_FIXEDFILEINFO[0]
check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x00010002, 0), "fixed file version is 1.2.0.0")

strings = {}
translations = []
for info in pe.FileInfo[0]:
    if info.Key == b"StringFileInfo":
        for table in info.StringTable:
            check(table.LangID == b"040904E4", "string table 040904E4, got %r" % table.LangID)
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    elif info.Key == b"VarFileInfo":
        for var in info.Var:
            translations.extend(var.entry.values())

check(strings.get("FileVersion") == "1.2.0", "FileVersion string")
check(strings.get("ProductVersion") == "1.2.0", "ProductVersion string")
check(strings.get("FileDescription") == "ov_installer", "FileDescription")
check(strings.get("ProductName") == "ov_installer", "ProductName")
check("Orvanta" in strings.get("CompanyName", ""), "CompanyName names the maker")
check(any(re.fullmatch(r"0x0*409 0x0*4e4", str(v).lower()) for v in translations),
      "translation 0x0409 / 1252, got %r" % translations)

# An independent reader agrees on the version.
exif = subprocess.run(["exiftool", "-s3", "-FileVersionNumber", "-ProductName", exe],
                      capture_output=True, text=True)
if exif.returncode == 0 and exif.stdout.strip():
    check(exif.stdout.split()[:2] == ["1.2.0.0", "ov_installer"], "exiftool reads 1.2.0.0 ov_installer: %r" % exif.stdout)
else:
    print("note: exiftool not available, skipped its cross-check")

# Icon groups: IDI_ICON1 and IDI_ICON2, each 16, 32, 48 and 256 pixels at 32 bits
RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
groups = {str(e.name): e for e in resource_entries(pe, RT_GROUP_ICON) if e.name is not None}
check(sorted(groups) == ["IDI_ICON1", "IDI_ICON2"], "icon groups, got %r" % sorted(groups))
icon_ids = {e.id for e in resource_entries(pe, RT_ICON)}

for name, entry in sorted(groups.items()):
    data = resource_bytes(pe, entry)
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    check(kind == 1, name + " is an icon group")
    sizes = []
    for i in range(count):
        width, height, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", data, 6 + 14 * i)
        sizes.append((width or 256, height or 256, bits))
        check(icon_id in icon_ids, "%s image %d is present" % (name, icon_id))
    check(sorted(sizes) == [(16, 16, 32), (32, 32, 32), (48, 48, 32), (256, 256, 32)],
          "%s sizes, got %r" % (name, sorted(sizes)))

# Manifest
manifests = resource_entries(pe, RT_MANIFEST)
check(len(manifests) == 1 and manifests[0].id == 1, "one manifest with id 1")
if manifests:
    manifest = resource_bytes(pe, manifests[0]).decode("utf-8")
    check(re.search(r'requestedExecutionLevel\s+level="requireAdministrator"\s+uiAccess="false"', manifest) is not None,
          "manifest asks for administrator rights without UI access")
    check(re.search(r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"', manifest) is not None,
          "manifest depends on common controls 6.0.0.0")

print("%d passed, %d failed" % (passed, failed))
sys.exit(1 if failed else 0)
