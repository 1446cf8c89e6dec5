#!/usr/bin/env bash
# What a file costs beyond its audio: 1,000 WAVs of 0.1 s each brought to
# 8-bit mono by one zelph-convert run, against one WAV holding the same 100 s
# of audio converted the same way. The engine work is the same in both runs,
# so (batch - one file) / 999 is what the runner and the engine's opening,
# syncing and closing cost per file: the headline figure, in milliseconds.
# Each run starts from an empty output folder.
# As context, sox measured the same way: once per file in a shell loop and
# once on the long file, with the same conversion (`remix 1` keeps the left
# channel as our engine does, -D no dither as ours has none) and its outputs
# synced with their folder as ours are; its per-file figure is a process
# start plus its own opening and closing.
# Target: below 1 ms of processor time per file, for --jobs 1 and --jobs 2.
# Usage: bench/batch_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"

files=$(scaled 1000)
[ "$files" -ge 2 ] || files=2
mkdir "$bench_work/in" "$bench_work/long" "$bench_work/out"
sox -n -r 44100 -c 2 -b 16 "$bench_work/long/long.wav" synth "$(awk -v n="$files" 'BEGIN { print n / 10 }')" \
    pinknoise sine 440 vol 0.5
# The batch is the long file cut into its 0.1 s pieces.
sox "$bench_work/long/long.wav" "$bench_work/in/piece.wav" trim 0 0.1 : newfile : restart
[ "$(ls "$bench_work/in" | wc -l)" -eq "$files" ] || { echo "cutting the long file went wrong" >&2; exit 1; }

out=$bench_work/out
empty_output() { find "$out" -mindepth 1 -delete; }
ours() {
    local name=$1 jobs=$2
    shift 2
    empty_output
    sample "$name" "$cli" --quiet --jobs "$jobs" --target wav --set wav.channelMode=1 --set wav.sampleSizeMode=1 \
        --output-dir "$out" --if-exists overwrite "$@"
}
sox_loop() {
    empty_output
    sample "$1" bash -c 'for f in "$1"/*.wav; do sox -D "$f" -b 8 "$2/${f##*/}" remix 1; done && sync "$2"/* "$2"' \
        _ "$2" "$out"
}

for _ in $(seq "$bench_runs"); do
    for jobs in 1 2; do
        ours "ours-batch-$jobs" "$jobs" "$bench_work"/in/*.wav
        [ "$(ls "$out" | wc -l)" -eq "$files" ] || { echo "zelph-convert did not write $files files" >&2; exit 1; }
        ours "ours-long-$jobs" "$jobs" "$bench_work/long/long.wav"
    done
    sox_loop sox-batch "$bench_work/in"
    sox_loop sox-long "$bench_work/long"
done

# per_file BATCH LONG FIGURE: the per-file cost in milliseconds from the medians.
per_file() { awk -v b="$($3 "$1")" -v l="$($3 "$2")" -v n="$files" 'BEGIN { printf "%.3f", (b - l) * 1000 / (n - 1) }'; }

echo "$files WAVs of 0.1 s (44.1 kHz stereo 16-bit) to 8-bit mono; medians of $bench_runs runs" \
    "(load average $(load_average))"
for jobs in 1 2; do
    cpu=$(per_file "ours-batch-$jobs" "ours-long-$jobs" cpu_of)
    wall=$(per_file "ours-batch-$jobs" "ours-long-$jobs" wall_of)
    verdict=$(awk -v c="$cpu" 'BEGIN { print c < 1 ? "met" : "MISSED" }')
    echo "--jobs $jobs: $cpu ms per file beyond its audio (processor time; wall $wall ms); target < 1 ms: $verdict"
    table_row "per-file overhead, $files files, --jobs $jobs (ms)" "zelph-convert" "$cpu ms" "$wall ms" \
        "< 1 ms: $verdict; peak $(peak_of "ours-batch-$jobs") MiB"
done
printf '\nContext: the same figures, and sox once per file in a shell loop\n'
printf '%-22s %12s %12s %12s %12s %12s %10s\n' "" "batch cpu s" "one file cpu" "ms/file cpu" "of it user" "ms/file wall" \
    "peak MiB"
for side in ours-1 ours-2 sox; do
    case $side in
        ours-*) batch=ours-batch-${side#ours-} long=ours-long-${side#ours-} label="zelph-convert --jobs ${side#ours-}" ;;
        sox) batch=sox-batch long=sox-long label="sox loop" ;;
    esac
    printf '%-22s %12.3f %12.3f %12s %12s %12s %10s\n' "$label" "$(cpu_of "$batch")" "$(cpu_of "$long")" \
        "$(per_file "$batch" "$long" cpu_of)" "$(per_file "$batch" "$long" user_of)" \
        "$(per_file "$batch" "$long" wall_of)" "$(peak_of "$batch")"
done
table_row "per-file cost of a sox process (context)" "sox loop" "$(per_file sox-batch sox-long cpu_of) ms" \
    "$(per_file sox-batch sox-long wall_of) ms" ""
