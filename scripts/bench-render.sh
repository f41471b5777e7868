#!/usr/bin/env bash
# Times `sonomap-cli render` on a 10-minute mono 16-bit 44.1 kHz file against sox doing a
# comparable job on the same file (mono to stereo and four biquad stages), the two taking turns
# in the same run. Twice: with input and output on disk ($DISK_DIR, else $TMPDIR, else /tmp),
# where sonomap-cli syncs its output before putting it in place and sox does not, and in
# /dev/shm, which leaves the disk out. Every run starts after a `sync`, so none pays for the
# write-back of another. Prints medians and bests of wall and cpu time, and the ratios of the
# medians (sox / sonomap) with their budgets. A third command in the same turns, dd copying
# sonomap's output with an fsync, shows what the folder's own writing costs.
# PAUSE=SECONDS waits that long before each run: a virtual machine that hands free memory back
# to its host (free page reporting waits about 2 s) then makes every run touch fresh memory,
# as a program started after a pause does; without it the runs reuse memory still at hand.
# usage: [PAUSE=SECONDS] scripts/bench-render.sh [BUILD_DIR] [RUNS]     (default: build 7)
set -euo pipefail

build=${1:-build}
runs=${2:-7}
pause=${PAUSE:-0}
cli="$build/src/cli/sonomap-cli"
[ -x "$cli" ] || { echo "no $cli: build the sonomap-cli target first" >&2; exit 2; }
command -v sox >/dev/null || { echo "sox is needed" >&2; exit 2; }

disk=${DISK_DIR:-${TMPDIR:-/tmp}}
folders=("$(mktemp -d "$disk/sonomap-bench.XXXXXX")")
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    folders+=("$(mktemp -d /dev/shm/sonomap-bench.XXXXXX)")
fi
trap 'rm -rf "${folders[@]}"' EXIT

first=${folders[0]}
sox -n -r 44100 -b 16 -c 1 "$first/in.wav" synth 600 pinknoise vol 0.5
# A full sweep right, then back: the direction changes all along the file.
"$cli" set-points "$first/in.wav" --points "0:-90,13230000:90,26459999:-30"

# Unity-gain two-pole stages, poles like the filter's own.
sox_chain=(remix 1 1
    biquad 0.03 0 0 1 -1.8 0.83 biquad 0.18 0 0 1 -1.52 0.7
    biquad 0.35 0 0 1 -1.47 0.82 biquad 0.54 0 0 1 -1.38 0.92)

# "wall cpu" in seconds of one run of the command, cpu = user + system.
time_once() {
    local line
    TIMEFORMAT='%R %U %S'
    line=$({ time "$@" >/dev/null 2>&1; } 2>&1)
    awk '{print $1, $2 + $3}' <<<"$line"
}

# The median and the least of the numbers on stdin.
median_best() {
    sort -g | awk '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
        printf "%.3f %.3f\n", m, v[1]}'
}

echo "input: 10 min mono 16-bit 44100 Hz ($(stat -c %s "$first/in.wav") bytes), $runs runs each," \
    "$pause s pause before each"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for folder in "${folders[@]}"; do
    [ "$folder" = "$first" ] || cp "$first/in.wav" "$folder/in.wav"
    ours_cmd=("$cli" render "$folder/in.wav" -o "$folder/ours.wav")
    sox_cmd=(sox -D "$folder/in.wav" "$folder/sox.wav" "${sox_chain[@]}")
    # The copy's source: one render, kept in the page cache.
    "${ours_cmd[@]}" >/dev/null 2>&1
    mv "$folder/ours.wav" "$folder/source.wav"
    copy_cmd=(dd if="$folder/source.wav" of="$folder/copy.wav" bs=32k conv=fsync)
    : >"$folder/ours.times"
    : >"$folder/sox.times"
    : >"$folder/copy.times"
    for ((i = 0; i < runs; i++)); do
        # Rotate which goes first, so all see the same load on average.
        order=(ours sox copy)
        for ((k = 0; k < 3; k++)); do
            who=${order[(i + k) % 3]}
            rm -f "$folder/ours.wav" "$folder/sox.wav" "$folder/copy.wav"
            sync
            sleep "$pause"
            case $who in
                ours) time_once "${ours_cmd[@]}" >>"$folder/ours.times" ;;
                sox) time_once "${sox_cmd[@]}" >>"$folder/sox.times" ;;
                copy) time_once "${copy_cmd[@]}" >>"$folder/copy.times" ;;
            esac
        done
    done
    read -r ow owb < <(awk '{print $1}' "$folder/ours.times" | median_best)
    read -r oc ocb < <(awk '{print $2}' "$folder/ours.times" | median_best)
    read -r sw swb < <(awk '{print $1}' "$folder/sox.times" | median_best)
    read -r sc scb < <(awk '{print $2}' "$folder/sox.times" | median_best)
    read -r cw cwb < <(awk '{print $1}' "$folder/copy.times" | median_best)
    if [ "$folder" = "$first" ]; then
        where="on disk ($(df --output=source "$folder" | tail -1), sonomap-cli syncs)"
        budget=10
    else
        where="in /dev/shm"
        budget=12
    fi
    echo "output $where:"
    echo "  sonomap: ${ours_cmd[*]##*/}"
    echo "    wall median $ow s (best $owb)  cpu median $oc s (best $ocb)"
    echo "  sox:     sox -D in.wav sox.wav ${sox_chain[*]}"
    echo "    wall median $sw s (best $swb)  cpu median $sc s (best $scb)"
    echo "  dd copying sonomap's output, with fsync: wall median $cw s (best $cwb)"
    awk -v ow="$ow" -v oc="$oc" -v sw="$sw" -v sc="$sc" -v cw="$cw" -v b="$budget" 'BEGIN {
        printf "  ratio sox/sonomap of the medians: wall %.1fx  cpu %.1fx  (budget %dx wall)\n",
            sw / ow, sc / oc, b
        printf "  ratio sonomap/dd copy of the medians: wall %.2fx\n", ow / cw }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
