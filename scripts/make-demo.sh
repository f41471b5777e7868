#!/usr/bin/env bash
# Makes examples/demo.wav: four seconds of a plucked arpeggio, mono, 16-bit, 22050 Hz, carrying
# a trajectory that moves it from full left to full right. Needs sox; builds sonomap-cli into
# build/ unless SONOMAP_CLI names one. The same notes give the same file every time.
set -euo pipefail
cd "$(dirname "$0")/.."

cli="${SONOMAP_CLI:-build/src/cli/sonomap-cli}"
if [ ! -x "$cli" ]; then
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build build -j2 --target sonomap-cli
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# I - vi - IV - V, four notes each, a quarter second per note.
notes=(C4 E4 G4 C5  A3 C4 E4 A4  F3 A3 C4 F4  G3 B3 D4 G4)
parts=()
for i in "${!notes[@]}"; do
    part="$tmp/note$i.wav"
    sox -R -n -r 22050 -b 16 -c 1 "$part" synth 0.25 pluck "${notes[$i]}" fade 0 0.25 0.04
    parts+=("$part")
done
sox -R "${parts[@]}" -r 22050 -b 16 -c 1 "$tmp/notes.wav" norm -3

frames="$(soxi -s "$tmp/notes.wav")"
rm -f examples/demo.wav
"$cli" set-points "$tmp/notes.wav" --points "0:-90,$((frames - 1)):90" --save-as examples/demo.wav
echo "examples/demo.wav: $frames frames, from full left to full right"
