#!/usr/bin/env bash
# The MP3 and Ogg Vorbis engines as `zelph-convert` runs them, against the
# command-line tools, whole processes on both sides, on files made here:
# MP3 -> WAV against mpg123 (the reference decoder, on libmpg123 as ours is;
# as a WAV and as raw samples) and `ffmpeg -f s16le`, Ogg -> WAV against
# oggdec, WAV -> Ogg at the default quality 0.5 against oggenc -q 5, and
# MP3 -> Ogg against mpg123 piped into oggenc. Our
# side's times include its chain's WAV stage and temporary file, and its
# output is synced with its folder before the run ends; so is every peer's.
# Targets: MP3 -> WAV at most 1.05 of mpg123, Ogg -> WAV at most 1.05 of
# oggdec, WAV -> Ogg at most 1.02 of oggenc, processor time.
# Usage: bench/vorbismad_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"

# Noise under a slow tremolo: material every codec has to work on.
make_wav() { sox -n -r 44100 -c 2 -b 16 "$1" synth "$2" pinknoise sine 300-3000 tremolo 2 60 vol 0.4; }
cd "$bench_work"
make_wav long.wav "$(scaled 600)"
make_wav short.wav "$(scaled 120)"
lame --quiet -b 128 long.wav long.mp3
oggenc -Q -q 3 -o long.ogg long.wav
mkdir ours

# compare LABEL SOURCE TARGET PEER-NAME PEER-COMMAND [cpu TARGET]: the peer
# writes peer.TARGET-KIND, synced with the folder as ours is.
compare() {
    local label=$1 source=$2 target=$3 peer=$4 command=$5 ours="zelph-convert ($1; $4)"
    for _ in $(seq "$bench_runs"); do
        sample "$ours" "$cli" --quiet --target "$target" --output-dir ours --if-exists overwrite "$source"
        rm -f peer.*
        sample "$peer" bash -c "$command && sync peer.* ."
    done
    report "$label against $peer" "$ours" "$peer" "${@:6}"
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

length="$(scaled 600) s"
compare "MP3 -> WAV ($length, 128k)" long.mp3 wav "mpg123" "mpg123 -q -w peer.wav long.mp3" cpu 1.05
# Our decoder reads lame's Info frame and drops the encoder's delay and
# padding, so its WAV has the source's exact length; so does mpg123's.
same_form ours/long.wav long.wav 0
same_form peer.wav long.wav 0
compare "MP3 -> WAV ($length, 128k)" long.mp3 wav "ffmpeg -f s16le" \
    "ffmpeg -nostdin -v error -i long.mp3 -f s16le -y peer.raw"
compare "MP3 -> WAV ($length, 128k)" long.mp3 wav "mpg123 -s" "mpg123 -q -s long.mp3 > peer.raw"
compare "Ogg -> WAV ($length, q3)" long.ogg wav "oggdec" "oggdec -Q -o peer.wav long.ogg" cpu 1.05
same_form ours/long.wav peer.wav 0
compare "WAV -> Ogg ($(scaled 120) s, q 0.5)" short.wav ogg "oggenc -q 5" "oggenc -Q -q 5 -o peer.ogg short.wav" cpu 1.02
cmp -s <(oggdec -Q -o - ours/short.ogg) <(oggdec -Q -o - peer.ogg) ||
    { echo "WAV -> Ogg: the two sides' audio differs, so their settings do" >&2; exit 1; }
compare "MP3 -> Ogg ($length)" long.mp3 ogg "mpg123 | oggenc -q 5" \
    "mpg123 -q -w - long.mp3 | oggenc -Q -q 5 -o peer.ogg -"
