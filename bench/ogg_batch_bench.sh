#!/usr/bin/env bash
# Files at once: 200 WAVs of a few seconds each to Ogg Vorbis at the default
# settings (VBR quality 0.5, which oggenc calls -q 5), converted by one
# zelph-convert run with --jobs 2 against the same run with --jobs 1, and
# against oggenc on two cores (`ls *.wav | xargs -P2 -n1 oggenc -Q -q 5`) on
# the same files. Targets: --jobs 2 at most 0.6 of --jobs 1's wall time on a
# two-core machine, and at most 1.03 of the oggenc pair's, wall and processor
# time.
# Usage: bench/ogg_batch_bench.sh [build folder] [seconds per file]
#   (defaults: build, 3; BENCH_RUNS sets the runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
seconds=${2:-3}

# Every file different, so that no run gains from a cache of the last one.
mkdir "$bench_work/in" "$bench_work/ours" "$bench_work/peer"
files=$(scaled 200)
for i in $(seq -w "$files"); do
    sox -n -r 44100 -c 2 -b 16 "$bench_work/in/$i.wav" synth "$seconds" pinknoise sine $((200 + 10#$i * 7)) \
        tremolo 3 40 vol 0.5
done

ours() {
    rm -f "$bench_work"/ours/*
    sample "$1" "$cli" --quiet --jobs "$2" --target ogg --output-dir "$bench_work/ours" --if-exists overwrite \
        "$bench_work"/in/*.wav
}
peer() {
    rm -rf "$bench_work/peer" && cp -r "$bench_work/in" "$bench_work/peer"
    # Our outputs are on the disk when a run ends (each synced, the folder
    # too); so are the peer's, with one sync of every output and the folder.
    sample "$1" bash -c "cd '$bench_work/peer' && ls *.wav | xargs -P2 -n1 oggenc -Q -q 5 && sync *.ogg ."
}

for _ in $(seq "$bench_runs"); do
    ours "zelph-convert --jobs 1" 1
    ours "zelph-convert --jobs 2" 2
    peer "xargs -P2 oggenc -q 5"
done

# Both sides did the same work: every file, and the same encoding (the
# decoded audio of the first file is identical).
[ "$(ls "$bench_work"/ours/*.ogg | wc -l)" -eq "$files" ] || { echo "zelph-convert did not write $files files" >&2; exit 1; }
[ "$(ls "$bench_work"/peer/*.ogg | wc -l)" -eq "$files" ] || { echo "oggenc did not write $files files" >&2; exit 1; }
same=different
first=$(cd "$bench_work/in" && ls | head -n 1)
cmp -s <(oggdec -Q -o - "$bench_work/ours/${first%.wav}.ogg") <(oggdec -Q -o - "$bench_work/peer/${first%.wav}.ogg") &&
    same=identical

echo "$files WAV files of $seconds s to Ogg Vorbis q 0.5 ($(nproc) processors; decoded audio of both sides $same)"
report "files side by side" "zelph-convert --jobs 2" "zelph-convert --jobs 1" wall 0.6
report "against oggenc on two cores, wall" "zelph-convert --jobs 2" "xargs -P2 oggenc -q 5" wall 1.03
report "against oggenc on two cores, processor time" "zelph-convert --jobs 2" "xargs -P2 oggenc -q 5" cpu 1.03
