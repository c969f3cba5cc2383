#!/usr/bin/env bash
# Runs a Windows program under Wine in a throw-away prefix, made with wineboot first and removed
# afterwards, and passes on the program's exit status.
#   run_in_wine.sh PROGRAM.exe [ARGUMENTS...]
# With EXPECT_EXIT and EXPECT_TEXT set, it checks the exit status and that the output holds the
# text instead, and exits 0 or 1 for the check.
set -uo pipefail

program="$1"
shift

if [[ ! -f "$program" ]]; then
    echo "$program is missing: build it with tools/build_windows.sh" >&2
    exit 1
fi

export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX="$(mktemp -d /tmp/ov-wine-prefix.XXXXXX)"
trap 'wineserver -k 2> /dev/null; rm -rf "$WINEPREFIX"' EXIT

if ! wineboot --init > /dev/null 2>&1; then
    echo "wineboot could not prepare the prefix $WINEPREFIX" >&2
    exit 1
fi
wineserver --wait

if [[ -z "${EXPECT_EXIT:-}" ]]; then
    wine "$program" "$@"
    exit $?
fi

output="$(wine "$program" "$@" 2>&1)"
status=$?
echo "$output"
echo "exit status $status"

if [[ "$status" != "$EXPECT_EXIT" ]]; then
    echo "FAILED: expected exit status $EXPECT_EXIT" >&2
    exit 1
fi
if [[ "$output" != *"${EXPECT_TEXT:-}"* ]]; then
    echo "FAILED: the output does not say: ${EXPECT_TEXT:-}" >&2
    exit 1
fi
