#!/usr/bin/env bash
# Per-file overhead of a batch: 300 one-second WAV files brought to 8-bit mono
# by one zelph-convert run, against a shell loop running sox once per file on
# the same files. Prints both times (best of several runs) and the ratio
# zelph / sox: at most 1 means a job costs us less than a process start.
# Usage: bench/batch_bench.sh [build folder]   (default: build)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
cli=$build/bin/zelph-convert
[ -x "$cli" ] || { echo "build $cli first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/ours" "$work/sox"

sox -n -r 44100 -c 2 -b 16 "$work/one.wav" synth 1 sine 440 sine 660
for i in $(seq -w 300); do cp "$work/one.wav" "$work/in/$i.wav"; done
runs=3

best() { sort -g | head -n 1; }
seconds_of() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); echo "$t1 - $t0" | bc -l; }
ours_run() {
    rm -f "$work"/ours/*
    "$cli" --quiet --target wav --set wav.channelMode=1 --set wav.sampleSizeMode=1 \
        --output-dir "$work/ours" --if-exists overwrite "$work"/in/*.wav
}
sox_run() {
    for f in "$work"/in/*.wav; do sox "$f" -c 1 -b 8 "$work/sox/${f##*/}"; done
}

ours=$(for _ in $(seq $runs); do seconds_of ours_run; done | best)
theirs=$(for _ in $(seq $runs); do seconds_of sox_run; done | best)
[ "$(ls "$work/ours" | wc -l)" -eq 300 ] || { echo "zelph-convert did not write 300 files" >&2; exit 1; }

printf 'zelph-convert, 300 files: %.3f s\nsox loop, 300 files:      %.3f s\nratio:                    %.2f\n' \
    "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
