#!/usr/bin/env bash
# Builds the README's dataset example (its sources made with sox) and renders it with
# `sonomap-cli batch` as every format: ambix, a loudspeaker layout, stereo, binaural and adm
# scenes of several events, and one-event jobs that are the editor's exports. Extra keys for
# every scene may be given as JSON members (for example '"doppler": true'). With COMPARE_DIR,
# every output and label file is compared byte for byte with the one of the same name there.
# usage: scripts/dataset-example.sh BUILD_DIR OUT_DIR [COMPARE_DIR|-] [EXTRA_KEYS]
set -euo pipefail

[ $# -ge 2 ] || { sed -n '2,7s/^# \{0,1\}//p' "$0" >&2; exit 2; }
build=$1
outdir=$2
compare=${3:-}
[ "$compare" = - ] && compare=
extra=${4:-}
[ -n "$extra" ] && extra=", $extra"
cli="$build/src/cli/sonomap-cli"
[ -x "$cli" ] || { echo "no $cli: build the sonomap-cli target first" >&2; exit 2; }

rm -rf "$outdir"
mkdir -p "$outdir/src"
sox -R -n -r 48000 -b 16 -c 1 "$outdir/src/dog.wav" synth 2.5 pinknoise vol 0.7 fade 0.05 2.5 0.2
sox -R -n -r 24000 -b 24 -c 1 "$outdir/src/phone.wav" synth 3 sine 1200 vol 0.5 tremolo 8
sox -R -n -r 44100 -b 16 -c 2 "$outdir/src/take.wav" synth 4 brownnoise vol 0.6
frames=$(soxi -s "$outdir/src/take.wav")
"$cli" set-points "$outdir/src/take.wav" --points "0:-120:0:2:40,$((frames / 2)):30:20:1.5:80,$frames:150:-10:4:20"

events='[
  {"source": "src/dog.wav", "onset": 1.5, "gain": -6, "class": 3,
   "trajectory": {"points": "0:30:10:2,48000:-60:10:2"}},
  {"source": "src/phone.wav", "onset": 4.0, "class": 7,
   "trajectory": {"generate": "random:speed=60", "seed": 11}},
  {"source": "src/take.wav", "onset": 0, "class": 1, "trajectory": "stored"}]'
events=$(echo "$events" | tr -d '\n')
one='[{"source": "src/take.wav", "trajectory": "stored"}]'
{
    echo "{\"output\": \"out/s001.wav\", \"format\": \"ambix\", \"order\": 1, \"sampleFormat\": \"s16\", \"rate\": 24000, \"duration\": 6, \"labels\": \"out/s001.csv\", \"events\": $events$extra}"
    echo "{\"output\": \"out/s002.wav\", \"format\": \"layout:0+5+0\", \"rate\": 48000, \"labels\": \"out/s002.csv\", \"events\": $events$extra}"
    echo "{\"output\": \"out/s003.wav\", \"format\": \"stereo\", \"rate\": 44100, \"duration\": 5, \"events\": $events$extra}"
    echo "{\"output\": \"out/s004.wav\", \"format\": \"binaural\", \"rate\": 48000, \"sampleFormat\": \"f32\", \"labels\": \"out/s004.csv\", \"events\": $events$extra}"
    echo "{\"output\": \"out/s005.wav\", \"format\": \"adm\", \"rate\": 48000, \"labels\": \"out/s005.csv\", \"events\": $events$extra}"
    echo "{\"output\": \"out/one-ambix.wav\", \"format\": \"ambix\", \"order\": 3, \"events\": $one$extra}"
    echo "{\"output\": \"out/one-stereo.wav\", \"format\": \"stereo\", \"events\": $one$extra}"
    echo "{\"output\": \"out/one-binaural.wav\", \"format\": \"binaural\", \"events\": $one$extra}"
    echo "{\"output\": \"out/one-adm.wav\", \"format\": \"adm\", \"events\": $one$extra}"
} >"$outdir/scenes.jsonl"
"$cli" batch "$outdir/scenes.jsonl" --jobs 2 --manifest-out "$outdir/out.sha256"
echo "rendered $(ls "$outdir/out" | wc -l) files into $outdir/out"

if [ -n "$compare" ]; then
    same=0
    differ=0
    for ref in "$compare"/out/*; do
        out="$outdir/out/${ref##*/}"
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
