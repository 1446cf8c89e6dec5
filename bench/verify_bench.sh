#!/usr/bin/env bash
# What decoding an output back costs (--verify), per target, on the same
# 2-minute music-like input, outputs synced on both sides:
#   verify vs encode: the same conversion with --verify against without it,
#           both whole `zelph-convert` runs with the same settings;
#   verify vs the reference decoder: the verify's own share (the difference
#           of the two runs' medians) against the format's own command-line
#           decoder (oggdec, flac -d, opusdec, mpg123, FFmpeg for Monkey's
#           Audio) decoding the same output to a synced file.
# No target is set: the figures say what the check costs.
# Usage: bench/verify_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
cd "$bench_work"
mkdir plain checked

seconds=$(scaled 120)
music_wav music.wav 44100 16 "$seconds" tremolo 2 60

# target|extension|the reference decoder, IN its input, writing peer.wav
decoders=(
    "flac|.flac|flac -s -d -f -o peer.wav IN"
    "ogg|.ogg|oggdec -Q -o peer.wav IN"
    "opus|.opus|opusdec --quiet IN peer.wav"
    "lame|.mp3|mpg123 -q -w peer.wav IN"
    "ape|.ape|ffmpeg -nostdin -v error -y -i IN -f wav peer.wav"
)
for entry in "${decoders[@]}"; do
    IFS='|' read -r target extension decode <<<"$entry"
    for _ in $(seq "$bench_runs"); do
        sample "$target" "$cli" --quiet --target "$target" --output-dir plain --if-exists overwrite music.wav
        sample "$target --verify" "$cli" --quiet --verify --target "$target" --output-dir checked --if-exists overwrite \
            music.wav
        sample "$target decoder" sh -c "${decode//IN/checked/music$extension} && sync peer.wav ."
    done
    report "WAV -> $target with --verify against without ($seconds s)" "$target --verify" "$target"
    awk -v with="$(cpu_of "$target --verify")" -v without="$(cpu_of "$target")" -v peer="$(cpu_of "$target decoder")" \
        'BEGIN { share = with - without; e = without > 0 ? share / without : 0; d = peer > 0 ? share / peer : 0;
                 printf("  verify alone %.3f s cpu: %.3f of the encode, %.3f of the reference decoder (%.3f s)\n", share, e, d, peer) }'
done
