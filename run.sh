#!/usr/bin/env bash
# Builds Sonomap and opens the editor on the bundled demo (or on the files named). Installs
# what is missing first (Debian 12), as test.sh does. Without a display it says so and renders
# the demo into a stereo file with sonomap-cli instead.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
sonomap_install_missing

if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build -j2

files=("$@")
if [ "${#files[@]}" -eq 0 ]; then
    files=(examples/demo.wav)
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/src/app/sonomap "${files[@]}"
fi

out=build/demo-stereo.wav
echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the editor cannot open."
echo "run.sh: rendering examples/demo.wav along its trajectory into $out instead."
build/src/cli/sonomap-cli render examples/demo.wav -o "$out"
echo "run.sh: wrote $out; play it with any player to hear the sound move from left to right."
