#!/usr/bin/env bash
# Configures (once) and builds the given targets, or everything, into build/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OV_BUILD_DIR:-$root/build}"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    generator=()
    command -v ninja > /dev/null && generator=(-G Ninja)
    windows=()
    [[ -n "${OV_WINDOWS_BUILD_DIR:-}" ]] && windows=(-DOV_WINDOWS_BUILD_DIR="$OV_WINDOWS_BUILD_DIR")
    cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${windows[@]}"
fi

if (( $# > 0 )); then
    cmake --build "$build" --parallel "$(nproc)" --target "$@"
else
    cmake --build "$build" --parallel "$(nproc)"
fi
