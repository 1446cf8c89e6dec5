#!/usr/bin/env bash
# WAV -> FLAC, Opus, AAC and ALAC: zelph-convert --target flac|opus|aac|alac
# against flac, opusenc and ffmpeg, whole processes on both sides, on the same
# 10-minute input at the same settings:
#   FLAC level 5            vs  flac -5
#   FLAC level 8            vs  flac -8
#   FLAC level 5 + verify   vs  flac -5 -V
#     on a CD-form (16-bit stereo 44.1 kHz) and a hi-res (24-bit stereo
#     96 kHz) input
#   Opus 128 kbit/s VBR     vs  opusenc --bitrate 128
#   Opus 128 kbit/s CBR     vs  opusenc --bitrate 128 --hard-cbr
#     on the CD-form input (both resample to 48 kHz)
#   AAC 192 kbit/s CBR      vs  ffmpeg -c:a aac -b:a 192k
#   AAC VBR quality 1.0     vs  ffmpeg -c:a aac -q:a 1
#     on the CD-form input (FFmpeg's own encoder on both sides)
#   ALAC                    vs  ffmpeg -c:a alac
#     on the CD-form and the hi-res input
# and, where what a process costs to start and to finish counts most, every
# encoding target on a 1-s CD-form input, 50 processes one after another on
# each side at their defaults or the settings above: WavPack vs wavpack,
# FLAC vs flac -5, Ogg Vorbis q 0.5 vs oggenc -q 5, Opus vs opusenc, LAME
# CBR 128 joint vs lame --noreplaygain -b 128 -m j, AAC and ALAC vs ffmpeg.
# Our output is synced with its folder before the run ends; so is the
# peer's. Besides the times, the ratio of the output sizes.
# Usage: bench/targets_bench.sh [--short] [build folder]   (BENCH_RUNS sets the runs per side, default 5)
#   --short: the 1-s files only.
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
short=
if [ "${1:-}" = --short ]; then
    short=1
    shift
fi
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
cd "$bench_work"  # no Settings.dat or zelph.conf here: every other setting at its default
mkdir out

flac="flac -s -f -o peer.flac"
opus="opusenc --quiet --bitrate 128"
ffmpeg="ffmpeg -nostdin -v error -y"

# compare LABEL INPUT TARGET "ZELPH OPTIONS" PEER-NAME "PEER COMMAND" [CPU
# TARGET]: the sides in turn, then their report; the peer writes
# peer.EXTENSION (the target's, .m4a for AAC and ALAC).
compare() {
    local label=$1 input=$2 target=$3 options=$4 peer=$5 command=$6 most=${7:-1.02}
    local ours="zelph-convert" extension=$3
    [[ $target == aac || $target == alac ]] && extension=m4a
    for _ in $(seq "$bench_runs"); do
        # shellcheck disable=SC2086 # the options are words
        sample "$label: $ours" "$cli" --quiet --target "$target" --if-exists overwrite --output-dir out/ $options "$input"
        sample "$label: $peer" sh -c "$command && sync peer.$extension ."
    done
    report "$label" "$label: $ours" "$label: $peer" cpu "$most"
    local os ps
    os=$(stat -c %s "out/${input%.wav}.$extension")
    ps=$(stat -c %s "peer.$extension")
    printf '  output size %d / %d = %.4f\n' "$os" "$ps" "$(echo "$os / $ps" | bc -l)"
}


# The 10-minute inputs at every level and mode above.
ten_minutes() {
    echo "making the 10-minute inputs..." >&2
    music_wav cd.wav 44100 16 "$(scaled 600)"
    music_wav hires.wav 96000 24 "$(scaled 600)"

    for input in cd.wav hires.wav; do
        compare "FLAC $input level 5" "$input" flac "" "flac -5" "$flac -5 $input"
        compare "FLAC $input level 8" "$input" flac "--set flac.level=8" "flac -8" "$flac -8 $input"
        compare "FLAC $input level 5 verify" "$input" flac "--set flac.verify=1" "flac -5 -V" "$flac -5 -V $input"
    done
    flac -s -t out/cd.flac out/hires.flac

    compare "Opus cd.wav 128 VBR" cd.wav opus "--set opus.bitrate=128" "opusenc --bitrate 128" "$opus cd.wav peer.opus"
    compare "Opus cd.wav 128 CBR" cd.wav opus "--set opus.bitrate=128 --set opus.mode=2" "opusenc --hard-cbr" \
        "$opus --hard-cbr cd.wav peer.opus"

    compare "AAC cd.wav 192 CBR" cd.wav aac "--set aac.mode=1 --set aac.bitrate=192" "ffmpeg -c:a aac -b:a 192k" \
        "$ffmpeg -i cd.wav -c:a aac -b:a 192k peer.m4a" 1.05
    compare "AAC cd.wav VBR 1.0" cd.wav aac "--set aac.mode=0 --set aac.quality=10" "ffmpeg -c:a aac -q:a 1" \
        "$ffmpeg -i cd.wav -c:a aac -q:a 1 peer.m4a" 1.05
    for input in cd.wav hires.wav; do
        compare "ALAC $input" "$input" alac "" "ffmpeg -c:a alac" "$ffmpeg -i $input -c:a alac peer.m4a" 1.05
    done
}

# one_second LABEL TARGET "ZELPH OPTIONS" PEER-NAME "PEER COMMAND": 50 whole
# processes (scaled) a sample on each side; the peer writes peer.* from
# one.wav and syncs it with the folder, as each of ours is.
processes=$(scaled 50)
one_second() {
    local label="$1 (1 s, $processes processes)" target=$2 options=$3 peer=$4 command=$5
    for _ in $(seq "$bench_runs"); do
        # shellcheck disable=SC2016,SC2086 # the loop's words are its own; the options are words
        sample "$label: zelph-convert" bash -c 'n=$1; shift; for _ in $(seq "$n"); do "$@" || exit 1; done' _ "$processes" \
            "$cli" --quiet --target "$target" --if-exists overwrite --output-dir out/ $options one.wav
        sample "$label: $peer" bash -c "for _ in \$(seq $processes); do $command && sync peer.* . || exit 1; done"
    done
    report "$label" "$label: zelph-convert" "$label: $peer" cpu 1.02
    rm -f peer.*
}
music_wav one.wav 44100 16 1
lame_bits="--set lame.crcBit=0 --set lame.copyrightBit=0 --set lame.privateBit=0 --set lame.originalBit=1"
one_second WavPack wavpack "" wavpack "wavpack -q -y one.wav -o peer.wv"
one_second "FLAC level 5" flac "" "flac -5" "$flac -5 one.wav"
one_second "Ogg q 0.5" ogg "" "oggenc -q 5" "oggenc -Q -q 5 -o peer.ogg one.wav"
one_second "Opus 128 VBR" opus "--set opus.bitrate=128" "opusenc --bitrate 128" "$opus one.wav peer.opus"
one_second "LAME CBR 128 joint" lame \
    "$lame_bits --set lame.bitrateMode=1 --set lame.cbrBitrate=128 --set lame.channelMode=3" \
    "lame -b 128 -m j" "lame --silent --noreplaygain -b 128 -m j one.wav peer.mp3"
one_second "AAC 192 CBR" aac "--set aac.mode=1 --set aac.bitrate=192" "ffmpeg -c:a aac -b:a 192k" \
    "$ffmpeg -i one.wav -c:a aac -b:a 192k peer.m4a"
one_second ALAC alac "" "ffmpeg -c:a alac" "$ffmpeg -i one.wav -c:a alac peer.m4a"
[ -n "$short" ] || ten_minutes
