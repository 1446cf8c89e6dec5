#!/usr/bin/env bash
# WAV -> WavPack: zelph-convert --target wavpack against wavpack itself,
# whole processes on both sides, on the same 10-minute input at the same
# settings:
#   fast, normal, high, very high       vs  wavpack -f, (none), -h, -hh
#   hybrid 320 kbit/s with a .wvc       vs  wavpack -b320 -c
#     on a CD-form (16-bit stereo 44.1 kHz) input
#   normal                              vs  wavpack
#     on a hi-res (24-bit stereo 96 kHz) input
# Our output is synced with its folder before the run ends; so is the
# peer's. Besides the times, the ratio of the output sizes (.wv and .wvc).
# Usage: bench/wavpack_bench.sh [build folder]   (BENCH_RUNS sets the runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
cd "$bench_work"  # no Settings.dat or zelph.conf here: every other setting at its default
mkdir out

echo "making the 10-minute inputs..." >&2
music_wav cd.wav 44100 16 "$(scaled 600)"
music_wav hires.wav 96000 24 "$(scaled 600)"

# Bytes of an output and of its correction file, if any.
bytes() { cat "$1" "$(if [ -e "${1%.wv}.wvc" ]; then echo "${1%.wv}.wvc"; else echo /dev/null; fi)" | wc -c; }

# compare LABEL INPUT "ZELPH OPTIONS" "PEER OPTIONS": the sides in turn,
# then their report; the peer writes peer.wv (and peer.wvc).
compare() {
    local label=$1 input=$2 options=$3 peer=$4
    local ours="zelph-convert" theirs="wavpack ${peer:-(normal)}"
    for _ in $(seq "$bench_runs"); do
        rm -f out/*.wv out/*.wvc
        # shellcheck disable=SC2086 # the options are words
        sample "$label: $ours" "$cli" --quiet --target wavpack --if-exists overwrite --output-dir out/ $options "$input"
        rm -f peer.wv peer.wvc
        sample "$label: $theirs" sh -c "wavpack -q -y $peer $input -o peer.wv && sync peer.wv* ."
    done
    report "$label" "$label: $ours" "$label: $theirs" cpu 1.05
    local os ps
    os=$(bytes "out/${input%.wav}.wv")
    ps=$(bytes peer.wv)
    printf '  output size %d / %d = %.4f\n' "$os" "$ps" "$(echo "$os / $ps" | bc -l)"
    # Equal work: both give back the same audio (with their .wvc, if any).
    [ "$(wvunpack -q -y --raw "out/${input%.wav}.wv" -o - | md5sum)" = "$(wvunpack -q -y --raw peer.wv -o - | md5sum)" ] ||
        { echo "$label: the two sides' audio differs" >&2; exit 1; }
}

compare "WavPack cd.wav fast" cd.wav "--set wavpack.level=0" "-f"
compare "WavPack cd.wav normal" cd.wav "" ""
compare "WavPack cd.wav high" cd.wav "--set wavpack.level=2" "-h"
compare "WavPack cd.wav very high" cd.wav "--set wavpack.level=3" "-hh"
compare "WavPack cd.wav hybrid 320 + .wvc" cd.wav "--set wavpack.mode=1 --set wavpack.bitrate=320" "-b320 -c"
compare "WavPack hires.wav normal" hires.wav "" ""
