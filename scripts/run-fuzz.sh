#!/usr/bin/env bash
# Runs every libFuzzer target (BUILD/fuzz/fuzz_*) of a sanitizer build for SECONDS each on a
# freshly generated seed corpus. Exits non-zero on any crash, sanitizer report, leak, timeout
# or out-of-memory, and prints the end of the log and the reproducer's path.
#   scripts/run-fuzz.sh BUILD_DIR [SECONDS]
# SONOMAP_FUZZ_FORK=N runs N worker processes (-fork=N) instead of one plain process.
set -uo pipefail

build=${1:?usage: run-fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
fork=${SONOMAP_FUZZ_FORK:-0}
fuzzdir="$build/fuzz"

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "run-fuzz.sh: SECONDS must be a positive whole number, not '$seconds'" >&2
    exit 2
fi
mapfile -t targets < <(find "$fuzzdir" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x 2>/dev/null | sort)
if [ "${#targets[@]}" -eq 0 ]; then
    echo "run-fuzz.sh: no fuzz targets in $fuzzdir (configure with -DSONOMAP_FUZZ=ON and clang)" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/sonomap-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
seeds="$work/seeds"
mkdir -p "$seeds"
if [ -x "$fuzzdir/make_fuzz_seeds" ]; then
    "$fuzzdir/make_fuzz_seeds" "$seeds" || { echo "run-fuzz.sh: seed generation failed" >&2; exit 1; }
fi
# Files another tool wrote make good seeds too.
if command -v sox >/dev/null 2>&1; then
    sox -n -r 8000 -c 1 -b 8 "$seeds/sox-8k-1-8.wav" synth 0.005 sine 440 2>/dev/null || true
    sox -n -r 22050 -c 2 -b 16 "$seeds/sox-22k-2-16.aiff" synth 0.002 sine 440 2>/dev/null || true
fi
# Whole SOFA sets, small enough for -max_len, as netCDF (python3-netcdf4) writes them.
if [ -d "$seeds/fuzz_sofa_set" ] && /usr/bin/python3 -c 'import netCDF4' 2>/dev/null; then
    /usr/bin/python3 "$(dirname "$0")/../tests/binaural/make_sofa.py" "$seeds/fuzz_sofa_set" small ||
        echo "run-fuzz.sh: make_sofa.py wrote no SOFA seeds" >&2
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

failed=0
for target in "${targets[@]}"; do
    name=$(basename "$target")
    corpus="$work/corpus-$name"
    artifacts="$work/artifacts-$name"
    log="$work/$name.log"
    mkdir -p "$corpus" "$artifacts"
    args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512
          -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/")
    if [ "$fork" -gt 0 ]; then
        args+=(-fork="$fork" -ignore_crashes=0 -ignore_timeouts=0 -ignore_ooms=0)
    fi
    echo "run-fuzz.sh: $name for ${seconds}s$([ "$fork" -gt 0 ] && echo " with $fork workers")"
    # A target fed one chunk or one journal has seeds of its own, in a folder named after it.
    own="$seeds"
    [ -d "$seeds/$name" ] && own="$seeds/$name"
    "$target" "${args[@]}" "$corpus" "$own" >"$log" 2>&1
    rc=$?
    reproducers=$(find "$artifacts" -type f | head -5)
    if [ "$rc" -ne 0 ] || [ -n "$reproducers" ] ||
        grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: (Address|Undefined|Leak)' "$log"; then
        echo "run-fuzz.sh: $name FAILED (exit $rc)" >&2
        tail -n 60 "$log" >&2
        if [ -n "$reproducers" ]; then
            mkdir -p "$build/fuzz-crashes"
            cp $reproducers "$build/fuzz-crashes/" 2>/dev/null
            echo "run-fuzz.sh: reproducers kept in $build/fuzz-crashes/" >&2
        fi
        failed=1
    else
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)|cov: ' "$log" | tail -n 3
        echo "run-fuzz.sh: $name passed"
    fi
done
exit "$failed"
