#!/usr/bin/env bash
# Makes sure this Debian machine has everything the build and the tests need, then fetches JUCE.
# Installs missing packages when run as root (or through password-less sudo); otherwise prints
# the one apt-get line to run and stops.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
    # compiler and build
    build-essential cmake ninja-build pkg-config dpkg-dev ccache
    # what JUCE's graphics and windowing code links
    libfreetype-dev libfontconfig1-dev libx11-dev libxrandr-dev libxinerama-dev libxext-dev
    libxcursor-dev libxcomposite-dev libxrender-dev libpng-dev libjpeg-dev zlib1g-dev
    # tests
    libgtest-dev python3 python3-pefile libimage-exiftool-perl unzip libxml2-utils
    # the winget manifest, validated against winget's JSON schemas
    python3-jsonschema python3-yaml
    # the deployment playbook, run against this machine, and its checks (ansible carries the
    # ansible.windows collection that the Windows steps use)
    ansible-core ansible ansible-lint
    # the real program in a headless X server
    xvfb xauth xdotool openbox wmctrl imagemagick x11-utils gdb e2fsprogs
    # ImageMagick's own SVG reader, which renders the payload folder icon
    libmagickcore-6.q16-6-extra
    # the Windows pieces: payload modules and resource scripts, and the 32-bit test module
    gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64 gcc-mingw-w64-i686 binutils-mingw-w64-i686
    # the Windows executable (tools/build_windows.sh): clang and lld with GCC's libstdc++ for
    # MinGW-w64, zlib for MinGW-w64, GoogleTest's sources; Wine runs it, with the font the
    # framework asks for there
    clang-14 lld-14 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest patch
    # llvm-nm and llvm-dlltool: the import libraries of the delay-loaded DLLs
    llvm-14
    wine wine64 ttf-bitstream-vera
    # Authenticode signing of the executable (tools/sign_windows.sh) and its test certificate
    osslsigncode openssl
    # fuzzing with sanitizers
    clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2> /dev/null | grep -q "ok installed"; then
        missing+=("$package")
    fi
done

if (( ${#missing[@]} > 0 )); then
    if [[ $(id -u) -eq 0 ]]; then
        as_root=()
    elif command -v sudo > /dev/null && sudo -n true 2> /dev/null; then
        as_root=(sudo)
    else
        echo "setup: these Debian packages are missing; install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi

    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" < /dev/null
fi

bash "$root/tools/fetch_juce.sh"
