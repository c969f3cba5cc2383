#!/usr/bin/env bash
# Compiles the resource scripts that the Windows build uses (JUCE's generated version and icon
# script plus our manifest script) with the MinGW resource compiler, links them into a small
# PE executable and checks what Windows would read from it: the resources alone, as the
# executable's imports and signing are the real build's.
set -euo pipefail

juceaide="$1"
source_dir="$2"
work="$3"
info_file="$4"
manifest_dir="$5"

rm -rf "$work"
mkdir -p "$work"

for tool in x86_64-w64-mingw32-windres x86_64-w64-mingw32-gcc; do
    command -v "$tool" > /dev/null || { echo "missing $tool (binutils-mingw-w64-x86-64, gcc-mingw-w64-x86-64)"; exit 1; }
done

# The Windows configure step records the generated icon in the target's info file.
/usr/bin/python3 - "$info_file" "$work/Info.txt" "$work/icon.ico" <<'PY'
import sys
records = open(sys.argv[1], encoding="utf-8").read().split("\x1e")
out = []
for record in records:
    key, _, value = record.partition("\x1f")
    if key == "ICON_FILE":
        value = sys.argv[3]
    out.append(key + "\x1f" + value if record else record)
open(sys.argv[2], "w", encoding="utf-8").write("\x1e".join(out))
PY

"$juceaide" winicon "$work/icon.ico" "$source_dir/app/ov_installer_icon.png" "$source_dir/app/ov_installer_icon_small.png"
"$juceaide" rcfile "$work/Info.txt" "$work/ov_installer_resources.rc"

x86_64-w64-mingw32-windres -I "$work" "$work/ov_installer_resources.rc" -O coff -o "$work/resources.o"
x86_64-w64-mingw32-windres -I "$manifest_dir" "$source_dir/app/ov_installer_manifest.rc" -O coff -o "$work/manifest.o"

cat > "$work/stub.c" <<'C'
#include <windows.h>
int WINAPI WinMain (HINSTANCE i, HINSTANCE p, LPSTR c, int s) { (void) i; (void) p; (void) c; (void) s; return 0; }
C
x86_64-w64-mingw32-gcc -mwindows "$work/stub.c" "$work/resources.o" "$work/manifest.o" -o "$work/ov_installer.exe"

exec /usr/bin/python3 "$source_dir/tests/windows/check_pe_resources.py" --resources-only "$work/ov_installer.exe"
