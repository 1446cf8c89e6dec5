#!/usr/bin/env bash
# The MP3 and Ogg Vorbis engines as `zelph-convert` runs them, against the
# command-line tools built on the same libraries, whole processes on both
# sides, on files made here: MP3 -> WAV against madplay (libmad; both sides
# dither to 16 bits), Ogg -> WAV against oggdec, WAV -> Ogg at the default
# quality 0.5 against oggenc -q 5, and MP3 -> Ogg against madplay piped into
# oggenc. Our side's times include its chain's WAV stage and temporary file.
# Usage: bench/vorbismad_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"

# Noise under a slow tremolo: material every codec has to work on.
make_wav() { sox -n -r 44100 -c 2 -b 16 "$1" synth "$2" pinknoise sine 300-3000 tremolo 2 60 vol 0.4; }
cd "$bench_work"
make_wav long.wav 600
make_wav short.wav 120
lame --quiet -b 128 long.wav long.mp3
oggenc -Q -q 3 -o long.ogg long.wav
mkdir ours

# compare LABEL SOURCE TARGET PEER-NAME PEER-COMMAND
compare() {
    local label=$1 source=$2 target=$3 peer=$4 command=$5
    for _ in $(seq "$bench_runs"); do
        sample "zelph $label" "$cli" --quiet --target "$target" --output-dir ours --if-exists overwrite "$source"
        sample "$peer" bash -c "$command"
    done
    report "$label" "zelph $label" "$peer"
}
# same_form A B SLACK: two WAVs of the same channels and bits whose lengths
# differ by at most SLACK frames.
same_form() {
    if [ "$(soxi -c "$1") $(soxi -b "$1")" != "$(soxi -c "$2") $(soxi -b "$2")" ] ||
        ! awk -v a="$(soxi -s "$1")" -v b="$(soxi -s "$2")" -v slack="$3" 'BEGIN { exit (a - b > slack || b - a > slack) }'; then
        echo "$1 and $2 differ in form or length" >&2
        exit 1
    fi
}

compare "MP3 -> WAV (10 min, 128k)" long.mp3 wav "madplay -o wave:" "madplay -Q -o wave:peer.wav long.mp3"
# Our decoder reads lame's Info frame and drops the encoder's delay and
# padding, so its WAV has the source's exact length; madplay keeps both
# (about a frame more), which costs it no more work.
same_form ours/long.wav long.wav 0
same_form peer.wav long.wav 2304
compare "Ogg -> WAV (10 min, q3)" long.ogg wav "oggdec" "oggdec -Q -o peer.wav long.ogg"
same_form ours/long.wav peer.wav 0
compare "WAV -> Ogg (2 min, q 0.5)" short.wav ogg "oggenc -q 5" "oggenc -Q -q 5 -o peer.ogg short.wav"
cmp -s <(oggdec -Q -o - ours/short.ogg) <(oggdec -Q -o - peer.ogg) ||
    { echo "WAV -> Ogg: the two sides' audio differs, so their settings do" >&2; exit 1; }
compare "MP3 -> Ogg (10 min)" long.mp3 ogg "madplay | oggenc -q 5" \
    "madplay -Q -o wave:- long.mp3 | oggenc -Q -q 5 -o peer.ogg -"
