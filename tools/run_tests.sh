#!/usr/bin/env bash
# Builds everything and runs every test; without a display the tests get a headless X server.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OV_BUILD_DIR:-$root/build}"

bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
# The Windows executable and unit tests, which the windows.* tests run under Wine.
bash "$root/tools/build_windows.sh" "${OV_WINDOWS_BUILD_DIR:-$root/build-windows}"

ctest_command=(ctest --test-dir "$build" --output-on-failure --timeout 600 "$@")

if [[ -z "${DISPLAY:-}" ]]; then
    exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -nolisten tcp" "${ctest_command[@]}"
fi

exec "${ctest_command[@]}"
