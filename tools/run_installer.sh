#!/usr/bin/env bash
# Builds what is needed and starts the installer.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bash "$root/tools/setup.sh"
bash "$root/tools/build.sh" ov_installer

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "ov_installer needs a graphical display, and none is set (DISPLAY is empty)." >&2
    exit 1
fi

exec "${OV_BUILD_DIR:-$root/build}/ov_installer_artefacts/RelWithDebInfo/ov_installer" "$@"
