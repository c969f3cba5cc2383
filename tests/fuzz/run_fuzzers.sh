#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz/CMakeLists.txt with clang, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer, then runs each for SECONDS seconds over its corpus. Fails on
# any finding: a crash, a sanitizer report, a leak, an input slower than 5 s, a process above
# 2 GB or a run still going two minutes after its time.
#
# Usage: tests/fuzz/run_fuzzers.sh JUCE_DIR WORK_DIR SECONDS [TARGET...]
#
# WORK_DIR keeps the build (so a second run only rebuilds what changed, and ccache is used
# when installed), each target's growing corpus in corpus/<target>/ (seeded from the corpus
# folder named in CMakeLists.txt), findings in artifacts/<target>/ and the log in
# <target>.log. Without TARGETs every fuzz target is built and run. Builds with one job.
set -euo pipefail

if (( $# < 3 )); then
    echo "usage: $0 JUCE_DIR WORK_DIR SECONDS [TARGET...]" >&2
    exit 2
fi

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
juce="$(cd "$1" && pwd)"
mkdir -p "$2"
work="$(cd "$2" && pwd)"
seconds="$3"
shift 3
wanted=("$@")

for tool in clang clang++ cmake; do
    if ! command -v "$tool" > /dev/null; then
        echo "run_fuzzers: '$tool' is missing (apt-get install clang libclang-rt-14-dev cmake)" >&2
        exit 1
    fi
done

build="$work/build"
generator=()
if [[ ! -f "$build/CMakeCache.txt" ]] && command -v ninja > /dev/null; then
    generator=(-G Ninja)
fi

# Descriptors are written afresh on every configure, so a removed target is not run again.
rm -rf "$build/fuzzers"

build_start=$(date +%s)
cmake -S "$here" -B "$build" "${generator[@]}" \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DOV_JUCE_DIR="$juce" > "$work/configure.log" \
    || { cat "$work/configure.log"; exit 1; }

targets=()
if (( ${#wanted[@]} > 0 )); then
    targets=(--target "${wanted[@]}")
fi
cmake --build "$build" --parallel 1 "${targets[@]}"
echo "run_fuzzers: build took $(( $(date +%s) - build_start )) s"

is_wanted() {
    (( ${#wanted[@]} == 0 )) && return 0
    local name
    for name in "${wanted[@]}"; do
        [[ "$name" == "$1" ]] && return 0
    done
    return 1
}

failed=()
ran=0

# A report still shows where the fault happened in full; where the memory involved was taken
# and given back, only the nearest frames. Recording whole stacks at every allocation would
# cost more than the code under test.
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=4}"

for descriptor in "$build"/fuzzers/*.txt; do
    [[ -e "$descriptor" ]] || continue
    target="$(basename "$descriptor" .txt)"
    is_wanted "$target" || continue

    options=""
    { read -r executable; read -r seeds; read -r options || true; } < "$descriptor"
    corpus="$work/corpus/$target"
    artifacts="$work/artifacts/$target"
    log="$work/$target.log"

    mkdir -p "$corpus"
    rm -rf "$artifacts"
    mkdir -p "$artifacts"
    cp -n "$seeds"/* "$corpus"/ 2> /dev/null || true

    echo "run_fuzzers: $target for $seconds s over $(find "$corpus" -type f | wc -l) inputs"
    status=0
    # libFuzzer's report of a slow input takes memory; when the input hangs inside the allocator,
    # the report waits for the allocator's lock for ever. So a run that outlives its time by two
    # minutes is stopped, and counts as a finding.
    # shellcheck disable=SC2086 # the target's own options, one word each
    timeout --kill-after=10 $(( seconds + 120 )) \
        "$executable" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 $options \
                      -artifact_prefix="$artifacts/" "$corpus" > "$log" 2>&1 || status=$?
    ran=$((ran + 1))

    if (( status == 124 || status == 137 )); then
        echo "run_fuzzers: $target stopped $(( seconds + 120 )) s after its start: a report that never finished, most likely of an input slower than 5 s; no input is saved then" >&2
    fi

    # How many edges the fuzzer can see, beside what it reached of them.
    grep -m 1 -E '^INFO: Loaded [0-9]+ modules' "$log" || true
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log" || true

    if (( status != 0 )) || [[ -n "$(ls -A "$artifacts")" ]]; then
        echo "run_fuzzers: $target FAILED (exit $status); findings in $artifacts, log in $log" >&2
        tail -n 40 "$log" >&2
        failed+=("$target")
    fi
done

if (( ran == 0 )); then
    echo "run_fuzzers: no fuzz target ran" >&2
    exit 1
fi

if (( ${#failed[@]} > 0 )); then
    echo "run_fuzzers: findings in ${failed[*]}" >&2
    exit 1
fi

echo "run_fuzzers: $ran fuzz target(s), no findings"
