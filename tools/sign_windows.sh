#!/usr/bin/env bash
# Signs the Windows executable in place with Authenticode (SHA-256) through osslsigncode, so the
# elevation prompt its manifest asks for names the maker instead of "Unknown publisher".
#   sign_windows.sh EXE
# OV_SIGN_PFX               the PKCS#12 file with the code-signing certificate and its key
# OV_SIGN_PASSWORD          its password (unset or empty for a file without one); it reaches
#                           osslsigncode on standard input, never on a command line ps shows
# OV_SIGN_TIMESTAMP_URL     an RFC 3161 time-stamp server, so the signature outlives the
#                           certificate; none when unset
# The signature is made in a temporary folder beside EXE and renamed over it only when
# osslsigncode succeeded: a failed signing leaves EXE as it was.
set -euo pipefail

# The prompt shows this as the program's name. People start the installer to get Kelvara 2
# from its product page; "ov_installer" would tell them nothing about what they allow.
description="Kelvara 2"
product_page="https://www.orvanta-audio.example/products/kelvara-2"

say () { echo "sign_windows: $*"; }
fail () { echo "sign_windows: $*" >&2; exit 1; }

(( $# == 1 )) || fail "usage: sign_windows.sh EXE"
exe="$1"
[[ -f "$exe" ]] || fail "$exe is not a file"
[[ -n "${OV_SIGN_PFX:-}" ]] || fail "no certificate: set OV_SIGN_PFX to the PKCS#12 (.pfx) file to sign with"
[[ -f "$OV_SIGN_PFX" ]] || fail "no certificate: OV_SIGN_PFX names $OV_SIGN_PFX, which is not a file"
command -v osslsigncode > /dev/null || fail "'osslsigncode' is missing; run tools/setup.sh first"

options=(sign -pkcs12 "$OV_SIGN_PFX" -h sha256 -n "$description" -i "$product_page")
if [[ -n "${OV_SIGN_TIMESTAMP_URL:-}" ]]; then
    options+=(-ts "$OV_SIGN_TIMESTAMP_URL")
fi

# osslsigncode will not write over an existing file, so the output goes into a fresh folder on
# the same file system, from where one rename replaces EXE.
work="$(mktemp -d "$(dirname "$exe")/.ov-sign.XXXXXX")"
trap 'rm -rf "$work"' EXIT
signed="$work/$(basename "$exe")"

if [[ -n "${OV_SIGN_PASSWORD:-}" ]]; then
    # printf is a shell builtin: the password is never an argument of a process. Bookworm's
    # osslsigncode opens -readpass as a path and knows no "-" for standard input.
    printf '%s' "$OV_SIGN_PASSWORD" | osslsigncode "${options[@]}" -readpass /dev/stdin -in "$exe" -out "$signed" > "$work/log" 2>&1 \
        || { cat "$work/log" >&2; fail "osslsigncode could not sign $exe; it is left unsigned"; }
else
    osslsigncode "${options[@]}" -in "$exe" -out "$signed" < /dev/null > "$work/log" 2>&1 \
        || { cat "$work/log" >&2; fail "osslsigncode could not sign $exe; it is left unsigned"; }
fi

chmod --reference="$exe" "$signed"
mv -f "$signed" "$exe"
say "signed $exe"
