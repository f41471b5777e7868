#!/usr/bin/env bash
# Times `sonomap-cli render` on a 10-minute mono 16-bit 44.1 kHz file against sox doing a
# comparable job on the same file in the same run: mono to stereo and four biquad stages.
# Both write into the same folder ($TMPDIR, else /tmp); put it on a RAM disk to leave the disk
# out (sonomap-cli syncs its output before putting it in place, sox does not).
# usage: scripts/bench-render.sh [BUILD_DIR] [RUNS]     (default: build 5)
set -euo pipefail

build=${1:-build}
runs=${2:-5}
cli="$build/src/cli/sonomap-cli"
[ -x "$cli" ] || { echo "no $cli: build the sonomap-cli target first" >&2; exit 2; }
command -v sox >/dev/null || { echo "sox is needed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/sonomap-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

sox -n -r 44100 -b 16 -c 1 "$work/in.wav" synth 600 pinknoise vol 0.5
# A full sweep right, then back: the direction changes all along the file.
"$cli" set-points "$work/in.wav" --points "0:-90,13230000:90,26459999:-30"

# Unity-gain two-pole stages, poles like the filter's own.
sox_chain=(remix 1 1
    biquad 0.03 0 0 1 -1.8 0.83 biquad 0.18 0 0 1 -1.52 0.7
    biquad 0.35 0 0 1 -1.47 0.82 biquad 0.54 0 0 1 -1.38 0.92)

# Best of $runs: "wall cpu" in seconds, cpu = user + system.
best_of() {
    local best_wall="" best_cpu="" line wall cpu
    TIMEFORMAT='%R %U %S'
    for ((i = 0; i < runs; i++)); do
        line=$({ time "$@" >/dev/null 2>&1; } 2>&1)
        wall=$(awk '{print $1}' <<<"$line")
        cpu=$(awk '{print $2 + $3}' <<<"$line")
        best_wall=$(awk -v a="$wall" -v b="${best_wall:-$wall}" 'BEGIN{print (a < b ? a : b)}')
        best_cpu=$(awk -v a="$cpu" -v b="${best_cpu:-$cpu}" 'BEGIN{print (a < b ? a : b)}')
    done
    echo "$best_wall $best_cpu"
}

ours_cmd=("$cli" render "$work/in.wav" -o "$work/ours.wav")
sox_cmd=(sox -D "$work/in.wav" "$work/sox.wav" "${sox_chain[@]}")
read -r ours_wall ours_cpu < <(best_of "${ours_cmd[@]}")
read -r sox_wall sox_cpu < <(best_of "${sox_cmd[@]}")

echo "input: 10 min mono 16-bit 44100 Hz ($(stat -c %s "$work/in.wav") bytes), best of $runs"
echo "sonomap: ${ours_cmd[*]##*/}"
printf '  wall %.3f s  cpu %.3f s\n' "$ours_wall" "$ours_cpu"
echo "sox:     sox -D in.wav sox.wav ${sox_chain[*]}"
printf '  wall %.3f s  cpu %.3f s\n' "$sox_wall" "$sox_cpu"
awk -v ow="$ours_wall" -v oc="$ours_cpu" -v sw="$sox_wall" -v sc="$sox_cpu" 'BEGIN {
    printf "ratio sox/sonomap: wall %.1fx  cpu %.1fx  (budget 8x)\n", sw / ow, sc / oc }'
