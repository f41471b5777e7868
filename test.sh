#!/usr/bin/env bash
# The one test command: installs what is missing (Debian 12), builds everything into build/,
# runs every test, builds and checks the Debian package (as root it also installs, runs and
# removes it), then runs the core tests under ASan/UBSan, a short fuzz run, and a Release build
# of every target. Warnings are errors in every build here. SONOMAP_SANITIZED_RANDOM=1 also
# builds the editor under ASan/UBSan (build-san-gui) and runs the random-input test there.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
sonomap_install_missing

JOBS=2
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONOMAP_WERROR=ON >/dev/null
cmake --build build -j"$JOBS"
(cd build && ctest --output-on-failure -j"$JOBS")
# The Debian package, built from build/ and checked; as root also installed, run and removed.
scripts/check-package.sh build

# The core again under the sanitizers; with clang the fuzz targets come along.
if command -v clang++-14 >/dev/null 2>&1; then
    san_env=(CC=clang-14 CXX=clang++-14)
    fuzz=ON
else
    san_env=()
    fuzz=OFF
fi
env "${san_env[@]}" cmake -S . -B build-san -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSONOMAP_WERROR=ON -DSONOMAP_SANITIZE=ON -DSONOMAP_CORE_ONLY=ON -DSONOMAP_FUZZ="$fuzz" -DSONOMAP_BENCH=OFF >/dev/null
cmake --build build-san -j"$JOBS"
(cd build-san && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$JOBS")

# On request, the whole editor under the sanitizers for the random-input run (a long build).
if [ "${SONOMAP_SANITIZED_RANDOM:-0}" = 1 ]; then
    env "${san_env[@]}" cmake -S . -B build-san-gui -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DSONOMAP_WERROR=ON -DSONOMAP_SANITIZE=ON -DSONOMAP_CORE_ONLY=OFF -DSONOMAP_BENCH=OFF >/dev/null
    cmake --build build-san-gui -j"$JOBS" --target random_input_tests
    (cd build-san-gui && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -R '^RandomInput')
fi

if [ "$fuzz" = ON ] && [ -x scripts/run-fuzz.sh ]; then
    scripts/run-fuzz.sh build-san "${SONOMAP_FUZZ_SECONDS:-60}"
fi
# A packager's build of every target (the editor, the tests, the benchmarks): -O3, where GCC's
# warnings differ from the ones above.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DSONOMAP_WERROR=ON \
    -DSONOMAP_CORE_ONLY=OFF -DSONOMAP_BENCH=ON >/dev/null
cmake --build build-release -j"$JOBS"

echo "test.sh: all tests passed"
