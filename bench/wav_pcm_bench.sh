#!/usr/bin/env bash
# ENCWAVPCM against sox on the same 10-minute 44.1 kHz stereo WAV, brought to
# 8-bit mono. Prints both times (best of several runs) and the ratio
# zelph / sox: at most 1 means we are as fast as sox or faster.
# Usage: bench/wav_pcm_bench.sh [build folder]   (default: build)
set -euo pipefail
build=${1:-build}
driver=$build/bin/wav_pcm_bench
[ -x "$driver" ] || { echo "build $driver first (cmake --build $build --target wav_pcm_bench)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 600 sine 440 sine 660
runs=5

best() { sort -g | head -n 1; }
seconds_of() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); echo "$t1 - $t0" | bc -l; }

ours=$(for _ in $(seq $runs); do seconds_of "$driver" "$work/in.wav" "$work/ours.wav" 1 8; done | best)
theirs=$(for _ in $(seq $runs); do seconds_of sox "$work/in.wav" -c 1 -b 8 "$work/sox.wav"; done | best)

printf 'zelph ENCWAVPCM: %.3f s\nsox:             %.3f s\nratio:           %.2f\n' \
    "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
