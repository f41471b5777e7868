#!/usr/bin/env bash
# Renders one file per filter band (a rate in each of the 8), 8 and 16 bits, mono and stereo
# sources, WAV and AIFF in and out, each with points that sweep, jump and hold the direction.
# With COMPARE_DIR, the same inputs are taken from there and every output is compared byte for
# byte with the one of the same name; any difference fails. Keep reference renders outside the
# repository. The environment reaches sonomap-cli unchanged (SONOMAP_FILTER_KERNEL, say).
# usage: scripts/render-matrix.sh BUILD_DIR OUT_DIR [COMPARE_DIR]
set -euo pipefail

[ $# -ge 2 ] || { sed -n '2,7s/^# \{0,1\}//p' "$0" >&2; exit 2; }
build=$1
outdir=$2
compare=${3:-}
cli="$build/src/cli/sonomap-cli"
[ -x "$cli" ] || { echo "no $cli: build the sonomap-cli target first" >&2; exit 2; }
command -v sox >/dev/null || { echo "sox is needed" >&2; exit 2; }

rates=(8000 11025 16000 22050 24000 32000 44100 48000)
mkdir -p "$outdir/in" "$outdir/wav" "$outdir/aif"
rm -f "$outdir"/in/* "$outdir"/wav/* "$outdir"/aif/*

if [ -n "$compare" ]; then
    cp "$compare"/in/* "$outdir/in/"
else
    for band in 1 2 3 4 5 6 7 8; do
        rate=${rates[band - 1]}
        for bits in 8 16; do
            for channels in 1 2; do
                for type in wav aif; do
                    name="$outdir/in/b$band-$bits-c$channels-$type.$type"
                    # Loud noise, then silence for the filter tails to decay through; an odd
                    # length so the last block is partial.
                    sox -R -n -r "$rate" -b "$bits" -c "$channels" "$name" \
                        synth 2.3 pinknoise vol 0.9 pad 0 0.7 trim 0 2.9997
                    frames=$(soxi -s "$name")
                    third=$((frames / 3))
                    "$cli" set-points "$name" --points \
                        "0:-90,$third:90,$((2 * third)):-30,$((2 * third)):45,$((frames - 100)):0"
                done
            done
        done
    done
fi

inputs=("$outdir"/in/*)
"$cli" render "${inputs[@]}" --output-dir "$outdir/wav" --type wav
"$cli" render "${inputs[@]}" --output-dir "$outdir/aif" --type aiff
echo "rendered $((2 * ${#inputs[@]})) files into $outdir"

if [ -n "$compare" ]; then
    same=0
    differ=0
    for out in "$outdir"/wav/* "$outdir"/aif/*; do
        ref="$compare/${out#"$outdir"/}"
        if cmp -s "$out" "$ref"; then
            same=$((same + 1))
        else
            echo "differs: $out $ref"
            differ=$((differ + 1))
        fi
    done
    echo "cmp against $compare: $same identical, $differ differ"
    [ "$differ" -eq 0 ]
fi
