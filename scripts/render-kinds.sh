#!/usr/bin/env bash
# Renders a set of sounds through every kind of render (the stereo filter, binaural through the
# default SOFA set and through the mixer, AmbiX orders 1 and 3, loudspeakers 0+5+0 and 4+5+0, ADM), with any extra
# render options given after the folders. The sounds: frontal trajectories that sweep, jump and
# hold (8 and 16 bits, mono and stereo, three rates) and trajectories all around (elevation,
# distance, width, 24-bit and float). With COMPARE_DIR, the inputs are taken from there and
# every output is compared byte for byte with the one of the same name; any difference fails.
# Keep reference renders outside the repository.
# usage: scripts/render-kinds.sh BUILD_DIR OUT_DIR [COMPARE_DIR|-] [RENDER OPTIONS...]
set -euo pipefail

[ $# -ge 2 ] || { sed -n '2,8s/^# \{0,1\}//p' "$0" >&2; exit 2; }
build=$1
outdir=$2
compare=${3:-}
shift $(($# >= 3 ? 3 : 2))
[ "$compare" = - ] && compare=
cli="$build/src/cli/sonomap-cli"
[ -x "$cli" ] || { echo "no $cli: build the sonomap-cli target first" >&2; exit 2; }
command -v sox >/dev/null || { echo "sox is needed" >&2; exit 2; }

kinds=(stereo binaural mixer ambix1 ambix3 l050 l450 adm)
mkdir -p "$outdir/in"
rm -f "$outdir"/in/*
for kind in "${kinds[@]}"; do
    mkdir -p "$outdir/$kind"
    rm -f "$outdir/$kind"/*
done

if [ -n "$compare" ]; then
    cp "$compare"/in/* "$outdir/in/"
else
    for rate in 16000 44100 48000; do
        for bits in 8 16; do
            for channels in 1 2; do
                name="$outdir/in/f$rate-$bits-c$channels.wav"
                sox -R -n -r "$rate" -b "$bits" -c "$channels" "$name" \
                    synth 1.3 pinknoise vol 0.9 pad 0 0.3
                frames=$(soxi -s "$name")
                third=$((frames / 3))
                "$cli" set-points "$name" --points \
                    "0:-90,$third:90,$((2 * third)):-30,$((2 * third)):45,$((frames - 100)):0"
            done
        done
    done
    for form in "48000 24 1 -e signed" "44100 32 2 -e floating-point" "22050 16 2 -e signed"; do
        read -r rate bits channels encoding <<<"$form"
        name="$outdir/in/a$rate-$bits-c$channels.wav"
        sox -R -n -r "$rate" -b "$bits" $encoding -c "$channels" "$name" \
            synth 1.3 pinknoise vol 0.8 pad 0 0.3
        frames=$(soxi -s "$name")
        quarter=$((frames / 4))
        "$cli" set-points "$name" --points \
            "0:0:0:1:0,$quarter:135:30:3.5:60,$((2 * quarter)):-150:-20:0.4:120,$((2 * quarter)):60:45:12:30,$((3 * quarter)):-45:10:0.2:0,$((frames - 50)):180:0:2:90"
    done
fi

inputs=("$outdir"/in/*)
"$cli" render "${inputs[@]}" --output-dir "$outdir/stereo" "$@" >/dev/null 2>&1 || echo "some renders failed" >&2
"$cli" render "${inputs[@]}" --output-dir "$outdir/binaural" --binaural --sample-format f32 "$@" >/dev/null 2>&1 || echo "some renders failed" >&2
"$cli" render "${inputs[@]}" --output-dir "$outdir/mixer" --binaural --hrtf default-48000 "$@" >/dev/null 2>&1 || echo "some renders failed" >&2
"$cli" render "${inputs[@]}" --output-dir "$outdir/ambix1" --ambix --order 1 --sample-format f32 "$@" >/dev/null 2>&1 || echo "some renders failed" >&2
"$cli" render "${inputs[@]}" --output-dir "$outdir/ambix3" --ambix --order 3 "$@" >/dev/null 2>&1 || echo "some renders failed" >&2
"$cli" render "${inputs[@]}" --output-dir "$outdir/l050" --layout 0+5+0 --sample-format f32 "$@" >/dev/null 2>&1 || echo "some renders failed" >&2
"$cli" render "${inputs[@]}" --output-dir "$outdir/l450" --layout 4+5+0 "$@" >/dev/null 2>&1 || echo "some renders failed" >&2
"$cli" render "${inputs[@]}" --output-dir "$outdir/adm" --adm "$@" >/dev/null 2>&1 || echo "some renders failed" >&2
total=0
for kind in "${kinds[@]}"; do
    total=$((total + $(ls "$outdir/$kind" | wc -l)))
done
echo "rendered $total files of ${#inputs[@]} inputs into $outdir"

if [ -n "$compare" ]; then
    same=0
    differ=0
    for kind in "${kinds[@]}"; do
        for ref in "$compare/$kind"/*; do
            out="$outdir/$kind/${ref##*/}"
            if cmp -s "$out" "$ref"; then
                same=$((same + 1))
            else
                echo "differs: $out $ref"
                differ=$((differ + 1))
            fi
        done
    done
    echo "cmp against $compare: $same identical, $differ differ"
    [ "$differ" -eq 0 ]
fi
