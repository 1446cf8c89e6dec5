#!/usr/bin/env bash
# The WAV engine, as `zelph-convert --target wav` runs it, against sox on the
# same 10-minute 44.1 kHz stereo 16-bit WAV, for each form that changes the
# data: 8-bit mono, 8-bit stereo, 16-bit mono. sox does the same work: `remix
# 1` keeps the left channel as our engine does, -D turns off the dither we
# do not apply. Whole processes on both sides.
# Usage: bench/wav_pcm_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"

sox -n -r 44100 -c 2 -b 16 "$bench_work/in.wav" synth "$(scaled 600)" pinknoise sine 440 vol 0.5

# shape FILE: channels, bits and length of a WAV.
shape() { local o; for o in -c -b -s; do soxi "$o" "$1"; done; }

# form LABEL CHANNELS BITS: zelph's channelMode/sampleSizeMode are 1 for mono / 8-bit, 2 for stereo / 16-bit.
form() {
    local label=$1 channels=$2 bits=$3 remix=()
    [ "$channels" -eq 1 ] && remix=(remix 1)
    for _ in $(seq "$bench_runs"); do
        sample "zelph-convert ($label)" "$cli" --quiet --target wav --set "wav.channelMode=$channels" \
            --set "wav.sampleSizeMode=$((bits / 8))" --output-dir "$bench_work/ours" --if-exists overwrite \
            "$bench_work/in.wav"
        # sox's output is synced with its folder, as ours is.
        sample "sox -D ($label)" sh -c 'out=$1; shift; sox -D "$@" && sync "$out" "${out%/*}"' _ "$bench_work/sox.wav" \
            "$bench_work/in.wav" -b "$bits" "$bench_work/sox.wav" "${remix[@]}"
    done
    # Same work: the same form and length out.
    [ "$(shape "$bench_work/ours/in.wav")" = "$(shape "$bench_work/sox.wav")" ] ||
        { echo "the two sides wrote different forms ($label)" >&2; exit 1; }
    report "10 min stereo 16-bit to $label" "zelph-convert ($label)" "sox -D ($label)"
}

mkdir "$bench_work/ours"
form "8-bit mono" 1 8
form "8-bit stereo" 2 8
form "16-bit mono" 1 16
