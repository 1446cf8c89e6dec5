#!/usr/bin/env bash
# Monkey's Audio at every level, `zelph-convert` whole against its peers on
# the same 2-minute music-like input, outputs synced on both sides:
#   decode: APE -> WAV against `ffmpeg -f s16le` of the same file (the audio
#           of both sides is checked to be identical); target: at most 0.8
#           of FFmpeg's processor time at every level;
#   encode: WAV -> APE against `flac -8`, the strongest of the lossless
#           peers, with both output sizes beside the times.
# Usage: bench/ape_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
cd "$bench_work"
mkdir ours

seconds=$(scaled 120)
# Tones under a tremolo over quiet noise: no level finds it trivial.
music_wav music.wav 44100 16 "$seconds" tremolo 2 60

for level in 1000 2000 3000 4000 5000; do
    for _ in $(seq "$bench_runs"); do
        sample "encode $level" "$cli" --quiet --target ape --set "ape.compressionLevel=$level" --output-dir ours \
            --if-exists overwrite music.wav
        sample "flac -8 ($level)" sh -c "flac -s -f -8 -o peer.flac music.wav && sync peer.flac ."
    done
    cp ours/music.ape "level$level.ape"
    report "WAV -> APE level $level ($seconds s)" "encode $level" "flac -8 ($level)"
    awk -v a="$(stat -c %s "level$level.ape")" -v f="$(stat -c %s peer.flac)" \
        'BEGIN { printf "  output size %d / flac -8 %d = %.4f\n", a, f, a / f }'

    for _ in $(seq "$bench_runs"); do
        sample "decode $level" "$cli" --quiet --target wav --output-dir ours --if-exists overwrite "level$level.ape"
        sample "ffmpeg ($level)" sh -c "ffmpeg -nostdin -v error -i level$level.ape -f s16le -y peer.raw && sync peer.raw ."
    done
    cmp -s <(sox "ours/level$level.wav" -t raw -) peer.raw ||
        { echo "level $level: our decode and FFmpeg's differ" >&2; exit 1; }
    report "APE level $level -> WAV ($seconds s; audio of both sides identical)" "decode $level" "ffmpeg ($level)" cpu 0.8
done
