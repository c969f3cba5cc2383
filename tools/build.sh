#!/usr/bin/env bash
# Configures (once) and builds the given targets, or everything, into build/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OV_BUILD_DIR:-$root/build}"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    generator=()
    command -v ninja > /dev/null && generator=(-G Ninja)
    cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi

if (( $# > 0 )); then
    cmake --build "$build" --parallel "$(nproc)" --target "$@"
else
    cmake --build "$build" --parallel "$(nproc)"
fi
