#!/usr/bin/env bash
# Cross-builds the Windows executable on Debian: BUILD_DIR/ov_installer.exe (default
# build-windows), a static x86-64 GUI program built with clang 14 for x86_64-w64-mingw32, and
# the GUI-free unit tests as BUILD_DIR/ov_core_tests.exe.
#
# What it needs besides the machine's packages (tools/setup.sh) is fetched with a private apt
# configuration and checked against pinned SHA-256 sums (tools/pinned_downloads.sh), like JUCE,
# or, once Debian has replaced a pinned version, against the archive's signed index:
#   - Debian trixie's mingw-w64-common 12 headers (bookworm's 10 lack Direct2D 1.3 and most
#     UI Automation provider interfaces); the CRT import libraries stay bookworm's;
#   - libpng and libjpeg-turbo from Debian's source packages, which Debian's JUCE leaves out;
#     zlib is bookworm's libz-mingw-w64-dev.
# The framework is a patched copy of the verified tree (cmake/windows-patches); the Linux build
# keeps the tree exactly as fetched.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build-windows}")"
triple=x86_64-w64-mingw32
downloads="$root/third_party/downloads-windows"
sysroot="$build/sysroot"
juce="$build/juce"
juce_tree="$root/third_party/juce-8.0.6+ds"

mingw_version="12.0.0-5"
png_version="1.6.39-2+deb12u5"
jpeg_version="1:2.1.5-2"

declare -A sums=(
    ["mingw-w64-common_12.0.0-5_all.deb"]="97dce5d0d8aff1cade4786ad4ef5078345477a598829afcac2e7f2fbc5399990"
    ["libpng1.6_1.6.39-2+deb12u5.dsc"]="7b86211030a34deb6b0a2cd7e1d9db0fe92443fd30cab537fb89b1e7f7c9f188"
    ["libpng1.6_1.6.39.orig.tar.gz"]="a00e9d2f2f664186e4202db9299397f851aea71b36a35e74910b8820e380d441"
    ["libpng1.6_1.6.39-2+deb12u5.debian.tar.xz"]="ab14906eda9fddf14cbb1e589b9ba7439c22e233dc3c5e3cf9356c9625565a82"
    ["libjpeg-turbo_2.1.5-2.dsc"]="d718ead0dfbcbc8523665c02a7f7152e31039ded641d022868722623bb3b486d"
    ["libjpeg-turbo_2.1.5.orig.tar.gz"]="254f3642b04e309fee775123133c6464181addc150499561020312ec61c1bf7c"
    ["libjpeg-turbo_2.1.5-2.debian.tar.xz"]="cdb2433c2f7101345c1ffa14efb943787c675b86354691a32490845fe4bc9237"
)

say () { echo "build_windows: $*"; }
fail () { echo "build_windows: $*" >&2; exit 1; }

for tool in clang-14 clang++-14 ld.lld $triple-windres apt-get dpkg-source dpkg-deb sha256sum patch cmake; do
    command -v "$tool" > /dev/null || fail "'$tool' is missing; run tools/setup.sh first"
done
[[ -f /usr/$triple/lib/libz.a ]] || fail "zlib for MinGW is missing; run tools/setup.sh first"
[[ -d /usr/lib/gcc/$triple/12-posix/include/c++ ]] || fail "g++-mingw-w64-x86-64-posix is missing; run tools/setup.sh first"

bash "$root/tools/fetch_juce.sh"

# ---- downloads -----------------------------------------------------------------------------------

# shellcheck source=tools/pinned_downloads.sh
source "$root/tools/pinned_downloads.sh"
mkdir -p "$downloads"

# When Debian has replaced a pin, the version it has now is taken, and the names below follow it.
pinned_apt "$downloads/.apt" \
    "deb [signed-by=$pinned_keyring] http://deb.debian.org/debian trixie main" \
    "deb-src [signed-by=$pinned_keyring] http://deb.debian.org/debian bookworm main"
pinned_fetch build_windows "$downloads" deb mingw-w64-common "$mingw_version" "Debian trixie"
pinned_fetch build_windows "$downloads" source libpng1.6 "$png_version" "Debian bookworm"
pinned_fetch build_windows "$downloads" source libjpeg-turbo "$jpeg_version" "Debian bookworm"
pinned_check "$downloads" build_windows
mingw_deb="$(pinned_file mingw-w64-common .deb)"
png_dsc="$(pinned_file libpng1.6 .dsc)"
jpeg_dsc="$(pinned_file libjpeg-turbo .dsc)"

# Each prepared piece carries a stamp of what it was made from, so a change of pins or patches
# rebuilds it and nothing else.
stamp_of () { cat "$@" | sha256sum | cut -d' ' -f1; }

# ---- the sysroot: MinGW-w64 12 headers over bookworm's CRT, zlib, libpng and libjpeg-turbo -----

toolchain="$root/cmake/MinGWClang.cmake"
sysroot_stamp="$(echo "${sums[*]}" | cat - "$toolchain" | sha256sum | cut -d' ' -f1)"

if [[ "$(cat "$sysroot/.stamp" 2> /dev/null)" != "$sysroot_stamp" ]]; then
    say "preparing the MinGW-w64 sysroot in $sysroot"
    rm -rf "$sysroot" "$build/image-libs"
    mkdir -p "$sysroot/$triple/lib" "$sysroot/lib/gcc/$triple" "$build/image-libs"

    unpacked="$build/image-libs/mingw-w64-common"
    dpkg-deb -x "$downloads/$mingw_deb" "$unpacked"
    cp -a "$unpacked/usr/share/mingw-w64/include" "$sysroot/$triple/include"
    # The framework names some headers as Windows' SDK spells them (Dbghelp.h); MinGW's are
    # lower case and the file system here tells the difference.
    grep -rhoE '#include <[A-Za-z0-9_]+\.h>' "$juce_tree/modules" \
        | sed -E 's/#include <(.*)>/\1/' | sort -u | while read -r name; do
            lower="${name,,}"
            if [[ "$name" != "$lower" && ! -e "$sysroot/$triple/include/$name" && -e "$sysroot/$triple/include/$lower" ]]; then
                ln -s "$lower" "$sysroot/$triple/include/$name"
            fi
        done
    cp /usr/$triple/include/zlib.h /usr/$triple/include/zconf.h "$sysroot/$triple/include/"
    cp -rs /usr/$triple/lib/. "$sysroot/$triple/lib/"
    # clang looks for GCC's libstdc++ under the sysroot; the POSIX-thread flavour has std::thread.
    ln -s /usr/lib/gcc/$triple/12-posix "$sysroot/lib/gcc/$triple/12"

    cross=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DOV_MINGW_SYSROOT="$sysroot"
           -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$sysroot/$triple"
           -DCMAKE_INSTALL_LIBDIR="$sysroot/$triple/lib" -DCMAKE_C_COMPILER_LAUNCHER=ccache)

    # libpng runs the preprocessor on its own to make its configuration header, with only
    # these flags.
    (cd "$build/image-libs" && dpkg-source --no-check -x "$downloads/$png_dsc" libpng > unpack-png.log)
    cmake -S "$build/image-libs/libpng" -B "$build/image-libs/libpng-build" "${cross[@]}" \
          -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
          -DCMAKE_C_FLAGS="--target=$triple --sysroot=$sysroot" > "$build/image-libs/png-configure.log" \
        || { cat "$build/image-libs/png-configure.log"; fail "libpng did not configure"; }
    cmake --build "$build/image-libs/libpng-build" --target install > "$build/image-libs/png-build.log" \
        || { cat "$build/image-libs/png-build.log"; fail "libpng did not build"; }

    (cd "$build/image-libs" && dpkg-source --no-check -x "$downloads/$jpeg_dsc" libjpeg-turbo > unpack-jpeg.log)
    cmake -S "$build/image-libs/libjpeg-turbo" -B "$build/image-libs/libjpeg-turbo-build" "${cross[@]}" \
          -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
          -DCMAKE_INSTALL_BINDIR="$build/image-libs/bin" -DCMAKE_INSTALL_MANDIR="$build/image-libs/man" \
          -DCMAKE_INSTALL_DOCDIR="$build/image-libs/doc" > "$build/image-libs/jpeg-configure.log" \
        || { cat "$build/image-libs/jpeg-configure.log"; fail "libjpeg-turbo did not configure"; }
    cmake --build "$build/image-libs/libjpeg-turbo-build" --target install > "$build/image-libs/jpeg-build.log" \
        || { cat "$build/image-libs/jpeg-build.log"; fail "libjpeg-turbo did not build"; }
    # The framework reads the decoder's private declarations, as Debian's libjpeg-dev has them.
    cp "$build/image-libs/libjpeg-turbo/jpegint.h" "$sysroot/$triple/include/"

    echo "$sysroot_stamp" > "$sysroot/.stamp"
fi

# ---- the framework: a patched copy of the verified tree ------------------------------------------

patches=("$root"/cmake/windows-patches/*.patch)
# fetch_juce.sh's stamp is named after the pin, and holds the version taken instead, if any.
juce_made_from=("$juce_tree"/.verified-*)
juce_pin="${juce_made_from[0]##*/.verified-}"
juce_taken="$(head -n 1 "${juce_made_from[0]}")"
juce_stamp="$(stamp_of "${juce_made_from[0]}" "${patches[@]}")"
juce_what="juce $juce_pin"
if [[ -n "$juce_taken" ]]; then
    juce_what="juce $juce_taken, which Debian trixie has instead of $juce_pin; the patches in cmake/windows-patches were written for $juce_pin"
fi

if [[ "$(cat "$juce/.windows-patches" 2> /dev/null)" != "$juce_stamp" ]]; then
    say "copying the framework and applying ${#patches[@]} patches"
    rm -rf "$juce"
    cp -a "$juce_tree" "$juce"
    for file in "${patches[@]}"; do
        patch --quiet --forward --strip=1 --directory="$juce" < "$file" \
            || fail "$(basename "$file") does not apply to $juce_what"
    done
    echo "$juce_stamp" > "$juce/.windows-patches"
fi

# ---- the executable and the unit tests -----------------------------------------------------------

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DOV_MINGW_SYSROOT="$sysroot" -DOV_JUCE_DIR="$juce" -DOV_GTEST_SOURCE_DIR=/usr/src/googletest
fi

cmake --build "$build" --parallel "$(nproc)" --target ov_installer ov_core_tests ov_module_holder ov_accessibility_probe ov_dll_canaries
# The debug information and the symbol table stay in the artefacts folder's copy: nothing lies
# after the image's last section, so a signature covers all of the file.
$triple-strip --strip-all -o "$build/ov_installer.exe" "$build/ov_installer_artefacts/RelWithDebInfo/ov_installer.exe"
say "built $build/ov_installer.exe"
# Signed last, so the signature covers the image exactly as it ships.
if [[ -n "${OV_SIGN_PFX:-}" ]]; then
    bash "$root/tools/sign_windows.sh" "$build/ov_installer.exe"
fi
