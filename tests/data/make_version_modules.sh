#!/usr/bin/env bash
# Builds the small Windows modules that the version reader's tests read, into
# tests/data/modules/ (or OUTPUT_FOLDER):
#
#   version_2.4.2.9.dll  version_2.4.10.0.dll  version_2.5.0.0.dll  version_0.0.0.0.dll
#   version_65535.65535.65535.65535.dll        64-bit (PE32+) modules with those file versions
#   version_1.2.3.4_pe32.dll                   a 32-bit (PE32) module
#   no_version.dll                             a 64-bit module without a version resource
#
# version_2.5.0.0.dll also carries a resource type known by name, an RCDATA and a manifest
# around its version resource, so that the reader has to pick RT_VERSION out of several types.
#
# Usage: tests/data/make_version_modules.sh [OUTPUT_FOLDER]
#
# Needs x86_64-w64-mingw32-gcc/-windres and i686-w64-mingw32-gcc/-windres. The modules are
# plain DLLs without the C runtime, linked without a timestamp and stripped, so every run
# with the same tools gives the same bytes.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/modules}"

for tool in x86_64-w64-mingw32-gcc x86_64-w64-mingw32-windres i686-w64-mingw32-gcc i686-w64-mingw32-windres; do
    if ! command -v "$tool" > /dev/null; then
        echo "make_version_modules: '$tool' is missing" \
             "(apt-get install gcc-mingw-w64-x86-64 gcc-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686)" >&2
        exit 1
    fi
done

mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/make_version_modules.XXXXXX")"
trap 'rm -rf "$work"' EXIT

cat > "$work/module.c" << 'EOF'
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

/* No C runtime: this is the whole module. */
BOOL WINAPI ModuleEntry (HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void) instance;
    (void) reason;
    (void) reserved;
    return TRUE;
}

__declspec (dllexport) int moduleMarker (void)
{
    return 42;
}
EOF

printf '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>\n' > "$work/module.manifest"

# version_script A B C D WITH_OTHER_RESOURCES
version_script() {
    local a="$1" b="$2" c="$3" d="$4" with_others="$5"
    cat << EOF
#include <winver.h>

VS_VERSION_INFO VERSIONINFO
FILEVERSION     $a,$b,$c,$d
PRODUCTVERSION  $a,$b,$c,$d
FILEFLAGSMASK   VS_FFI_FILEFLAGSMASK
FILEFLAGS       0x0L
FILEOS          VOS_NT_WINDOWS32
FILETYPE        VFT_DLL
FILESUBTYPE     VFT2_UNKNOWN
BEGIN
    BLOCK "StringFileInfo"
    BEGIN
        BLOCK "040904E4"
        BEGIN
            VALUE "CompanyName",     "Orvanta"
            VALUE "FileDescription", "Version reader test module"
            VALUE "FileVersion",     "$a.$b.$c.$d"
            VALUE "ProductVersion",  "$a.$b.$c.$d"
        END
    END
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x0409, 1252
    END
END
EOF
    if [[ "$with_others" == yes ]]; then
        cat << EOF

NOTES RCDATA
BEGIN
    "release notes\\0"
END

1 KVDATA
BEGIN
    "named type\\0"
END

2 24 "$work/module.manifest"
EOF
    fi
}

# build NAME ARCH [A B C D [WITH_OTHER_RESOURCES]]
build() {
    local name="$1" arch="$2"
    shift 2

    local cc="$arch-w64-mingw32-gcc" windres="$arch-w64-mingw32-windres" entry=ModuleEntry
    [[ "$arch" == i686 ]] && entry=_ModuleEntry@12   # stdcall decoration of 32-bit symbols

    local objects=()
    if (( $# >= 4 )); then
        version_script "$1" "$2" "$3" "$4" "${5:-no}" > "$work/$name.rc"
        "$windres" -O coff -i "$work/$name.rc" -o "$work/$name.res.o"
        objects+=("$work/$name.res.o")
    fi

    (cd "$work" && "$cc" -shared -nostdlib -Os -s -fno-ident -fno-asynchronous-unwind-tables \
        -Wall -Wextra -Werror "-Wl,--entry,$entry" -Wl,--no-insert-timestamp -Wl,--build-id=none \
        module.c "${objects[@]}" -o "$name")

    install -m 644 "$work/$name" "$out/$name"
    printf '%s  %s bytes\n' "$out/$name" "$(stat -c %s "$out/$name")"
}

build version_2.4.2.9.dll                  x86_64 2 4 2 9
build version_2.4.10.0.dll                 x86_64 2 4 10 0
build version_2.5.0.0.dll                  x86_64 2 5 0 0 yes
build version_0.0.0.0.dll                  x86_64 0 0 0 0
build version_65535.65535.65535.65535.dll  x86_64 65535 65535 65535 65535
build version_1.2.3.4_pe32.dll             i686   1 2 3 4
build no_version.dll                       x86_64
