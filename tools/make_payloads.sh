#!/usr/bin/env bash
# Builds the three payload archives that the installer embeds:
#   resources/vst3.zip  resources/clap.zip  resources/aax.zip
# from the sources in tools/payload/ (the plug-in module, its version resource,
# the folder icon and the bundle's metadata files).
#
# Usage: tools/make_payloads.sh [OUTPUT_FOLDER]     (default: resources/)
#
# Needs x86_64-w64-mingw32-gcc and -windres, ImageMagick ("magick" or "convert")
# and /usr/bin/python3. The output is byte-for-byte the same on every run with
# the same tools: the modules are linked without a timestamp and stripped, the
# icon is packed from raw pixels, and the archives have fixed dates, attributes
# and entry order.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
src="$root/tools/payload"
out="${1:-$root/resources}"
python=/usr/bin/python3
cc=x86_64-w64-mingw32-gcc
windres=x86_64-w64-mingw32-windres
product="Kelvara 2"

for tool in "$cc" "$windres" "$python"; do
    if ! command -v "$tool" > /dev/null; then
        echo "make_payloads: '$tool' is missing (apt-get install g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 python3)" >&2
        exit 1
    fi
done
if command -v magick > /dev/null; then
    imagemagick=(magick)
elif [[ -x /usr/bin/convert ]]; then
    imagemagick=(/usr/bin/convert)
elif command -v convert > /dev/null; then
    imagemagick=(convert)
else
    echo "make_payloads: ImageMagick is missing (apt-get install imagemagick)" >&2
    exit 1
fi

mkdir -p "$out"
out="$(cd "$out" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/make_payloads.XXXXXX")"
trap 'rm -rf "$work"' EXIT

export SOURCE_DATE_EPOCH=1741953600
# shellcheck disable=SC2054  # the commas belong to the -Wl, linker options
cflags=(-shared -O2 -std=c11 -Wall -Wextra -Werror -fno-ident -static-libgcc -s
        -Wl,--no-insert-timestamp -Wl,--build-id=none
        -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,0)

# build_module FORMAT OUTPUT_NAME WITH_VERSION_RESOURCE
build_module() {
    local format="$1" name="$2" with_version="$3"
    local dir="$work/$format"
    mkdir -p "$dir"
    local objects=()
    if [[ "$with_version" == yes ]]; then
        "$windres" "-DKV_FORMAT_$format" -O coff -i "$src/kelvara_version.rc" -o "$dir/version.o"
        objects+=("$dir/version.o")
    fi
    # The module is linked under its final name: the export table records it.
    (cd "$dir" && "$cc" "${cflags[@]}" "-DKV_FORMAT_$format" "$src/kelvara_module.c" \
        "${objects[@]}" -o "$name" -lkernel32)
}

build_module VST3 "$product.vst3" yes
build_module CLAP "$product.clap" no
build_module AAX "$product.aaxplugin" yes

# Folder icon: each size rendered from the SVG by ImageMagick's own renderer,
# then packed into a 32-bit icon.
icon_args=()
for size in 16 32 48 256; do
    density=$((size * 96 / 256))   # the SVG is 256 px at ImageMagick's 96 dpi
    "${imagemagick[@]}" -background none -density "$density" "msvg:$src/plugin_icon.svg" \
        -alpha on -depth 8 "rgba:$work/icon$size.rgba"
    icon_args+=("$size=$work/icon$size.rgba")
done
"$python" "$src/make_icon.py" "$work/Plugin.ico" "${icon_args[@]}"

# Line ends fixed here so that a checkout's line-end conversion cannot change
# the archives: desktop.ini in CR LF, moduleinfo.json in LF.
sed -e 's/\r$//' -e 's/$/\r/' "$src/desktop.ini" > "$work/desktop.ini"
sed -e 's/\r$//' "$src/moduleinfo.json" > "$work/moduleinfo.json"

vst3="$product.vst3"
"$python" "$src/write_archive.py" "$out/vst3.zip" \
    "dir:$vst3\\Contents\\" \
    "file:$vst3\\desktop.ini=$work/desktop.ini" \
    "file:$vst3\\Plugin.ico=$work/Plugin.ico" \
    "file:$vst3\\Contents\\Resources\\moduleinfo.json=$work/moduleinfo.json" \
    "file:$vst3\\Contents\\x86_64-win\\$vst3=$work/VST3/$vst3"

"$python" "$src/write_archive.py" "$out/clap.zip" \
    "file:$product.clap=$work/CLAP/$product.clap"

aax="$product.aaxplugin"
"$python" "$src/write_archive.py" "$out/aax.zip" \
    "dir:$aax\\Contents\\" \
    "file:$aax\\desktop.ini=$work/desktop.ini" \
    "file:$aax\\Plugin.ico=$work/Plugin.ico" \
    "file:$aax\\Contents\\x64\\$aax=$work/AAX/$aax"

for archive in vst3 clap aax; do
    printf '%s  %s bytes\n' "$out/$archive.zip" "$(stat -c %s "$out/$archive.zip")"
done
