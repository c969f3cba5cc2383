#!/usr/bin/env bash
# Fetches JUCE 8.0.6 (Debian trixie source package juce 8.0.6+ds-2) into third_party/,
# using a private apt configuration so the machine's own apt sources stay untouched.
# Every downloaded file is checked against a pinned SHA-256 sum before it is unpacked; once
# trixie has replaced the pin, against the archive's signed index (tools/pinned_downloads.sh).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dest="${1:-$root/third_party}"
version="8.0.6+ds-2"
# The tree keeps its name whichever version it was made from; the stamp is named after the pin
# and is empty when the tree is the pin itself, else it holds the version taken and its sums.
tree="$dest/juce-8.0.6+ds"
stamp="$tree/.verified-$version"

declare -A sums=(
    ["juce_8.0.6+ds-2.dsc"]="875f60aa9810331de2b41dcc3b2d3af86dbcb8bbb4571b30d26e34cc3f96db58"
    ["juce_8.0.6+ds.orig.tar.xz"]="4126ec8066866a1ccbc9cdd2beac712fd51e55ac7f24d8fdc45077b187a358ef"
    ["juce_8.0.6+ds-2.debian.tar.xz"]="98f781365d85d35639b5c47416b769c3d68ad9858c8559fc6c80bb95710976a1"
)

if [[ -f "$stamp" && -f "$tree/CMakeLists.txt" ]]; then
    exit 0
fi

for tool in apt-get dpkg-source sha256sum; do
    if ! command -v "$tool" > /dev/null; then
        echo "fetch_juce: '$tool' is missing; install dpkg-dev and apt first" >&2
        exit 1
    fi
done

downloads="$dest/downloads"
mkdir -p "$downloads"
# shellcheck source=tools/pinned_downloads.sh
source "$root/tools/pinned_downloads.sh"

pinned_apt "$dest/.apt" "deb-src [signed-by=$pinned_keyring] http://deb.debian.org/debian trixie main"
pinned_fetch fetch_juce "$downloads" source juce "$version" "Debian trixie"
pinned_check "$downloads" fetch_juce
taken="${pinned_taken[juce]}"
dsc="$(pinned_file juce .dsc)"

rm -rf "$tree"
# The sums checked above stand in for the .dsc's own signature, whose key is not on a bookworm
# machine.
if ! (cd "$dest" && dpkg-source -x "$downloads/$dsc" "$(basename "$tree")" > "$dest/unpack.log" 2>&1); then
    cat "$dest/unpack.log" >&2
    echo "fetch_juce: dpkg-source could not unpack the package" >&2
    exit 1
fi
# Unpacked files keep the tarball's times, older than what an earlier tree was built into.
find "$tree" -exec touch -h {} +
if [[ "$taken" == "$version" ]]; then
    touch "$stamp"
else
    { echo "$taken"; for file in "${!sums[@]}"; do echo "${sums[$file]}  $file"; done | sort -k 2; } > "$stamp"
fi
echo "fetch_juce: JUCE $taken ready in $tree"
