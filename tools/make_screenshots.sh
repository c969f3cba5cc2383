#!/usr/bin/env bash
# Takes the README's screenshots from the real binary in a headless X server:
# the main screen with one format current, one outdated and one absent, each information
# panel over it, and the success view.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
binary="${1:-$root/build/ov_installer_artefacts/RelWithDebInfo/ov_installer}"
out="$root/docs/screenshots"
mkdir -p "$out"

if [[ -z "${OV_SCREENSHOT_DISPLAY:-}" ]]; then
    export OV_SCREENSHOT_DISPLAY=1
    exec xvfb-run --auto-servernum --server-args="-screen 0 600x600x24 -nolisten tcp" bash "$0" "$@"
fi

prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
common="$prefix/drive_c/Program Files/Common Files"
mkdir -p "$prefix/drive_c/ProgramData/Orvanta" "$common/VST3/Kelvara 2.vst3/Contents/x86_64-win" "$common/CLAP"
cp "$root/tests/data/modules/version_2.4.2.9.dll" "$common/VST3/Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3"
unzip -q "$root/resources/clap.zip" -d "$common/CLAP"

WINEPREFIX="$prefix" "$binary" &
pid=$!
trap 'kill $pid 2> /dev/null; rm -rf "$prefix"' EXIT

window=""
for _ in $(seq 1 100); do
    window="$(xdotool search --all --pid "$pid" --name '^ov_installer$' 2> /dev/null | tail -1 || true)"
    [[ -n "$window" ]] && xwininfo -id "$window" | grep -q "Width: 600" && break
    sleep 0.1
done

# Without a window manager the window sits at the origin of the 600 pixel screen.
xdotool mousemove 300 380
sleep 1
/usr/bin/import -window root "$out/main.png"

# Each panel, opened by its button and closed by the glyph at the top right.
for panel in "eula 54" "support 261" "changelog 330"; do
    set -- $panel
    xdotool mousemove "$2" 471 click 1 mousemove 300 380
    sleep 1
    /usr/bin/import -window root "$out/$1.png"
    xdotool mousemove 552 33 click 1 mousemove 300 380
    sleep 0.5
done

xdotool mousemove 546 471 click 1 mousemove 300 380
sleep 1
/usr/bin/import -window root "$out/success.png"
echo "screenshots written to $out"
