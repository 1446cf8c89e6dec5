#!/usr/bin/env bash
# What measuring loudness adds to a WAV -> Ogg conversion on top of the
# decode that verify makes anyway (the meter is fed by that one decode), on
# the same 2-minute music-like input, outputs synced on both sides:
#   --verify --loudness track                against --verify (sample peaks; target <= 1.12)
#   --verify --loudness track --true-peak    against --verify (no target: printed)
# both sides whole `zelph-convert` runs with the same settings.
# Usage: bench/loudness_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
cd "$bench_work"
mkdir verified measured truepeak

seconds=$(scaled 120)
music_wav music.wav 44100 16 "$seconds" tremolo 2 60

# The same conversion on every side; only the loudness options differ.
convert=("$cli" --quiet --verify --target ogg --if-exists overwrite music.wav --output-dir)
for _ in $(seq "$bench_runs"); do
    sample "ogg --verify" "${convert[@]}" verified
    sample "ogg --verify --loudness" "${convert[@]}" measured --loudness track
    sample "ogg --verify --loudness --true-peak" "${convert[@]}" truepeak --loudness track --true-peak
done
report "WAV -> ogg: loudness with sample peaks on top of --verify ($seconds s)" "ogg --verify --loudness" \
    "ogg --verify" cpu 1.12
report "WAV -> ogg: loudness with true peaks on top of --verify ($seconds s)" "ogg --verify --loudness --true-peak" \
    "ogg --verify"
