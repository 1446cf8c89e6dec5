#!/usr/bin/env bash
# WAV -> FLAC and WAV -> Opus: zelph-convert --target flac|opus against
# flac and opusenc themselves, whole processes on both sides, on the same
# 10-minute input at the same settings:
#   FLAC level 5            vs  flac -5
#   FLAC level 8            vs  flac -8
#   FLAC level 5 + verify   vs  flac -5 -V
#     on a CD-form (16-bit stereo 44.1 kHz) and a hi-res (24-bit stereo
#     96 kHz) input
#   Opus 128 kbit/s VBR     vs  opusenc --bitrate 128
#   Opus 128 kbit/s CBR     vs  opusenc --bitrate 128 --hard-cbr
#     on the CD-form input (both resample to 48 kHz)
# Prints the median processor time (user + sys) and wall time of several runs
# of each side, the ratios zelph / peer (at most 1 means as fast or faster)
# and the ratio of the output sizes.
# Usage: bench/targets_bench.sh [build folder] [runs]   (defaults: build, 5)
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-5}
convert=$build/bin/zelph-convert
[ -x "$convert" ] || { echo "build $convert first (cmake --build ${1:-build})" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # no Settings.dat or zelph.conf here: every other setting at its default
mkdir out

echo "making the 10-minute inputs..." >&2
# Music-like content: tones over quiet noise, so no coder finds it trivial.
sox -n -r 44100 -c 2 -b 16 cd.wav synth 600 sine 220 sine 330 synth pinknoise mix vol 0.5
sox -n -r 96000 -c 2 -b 24 hires.wav synth 600 sine 220 sine 330 synth pinknoise mix vol 0.5

# "user sys wall" of one run of the command; a failed run ends the benchmark.
timed() {
    /usr/bin/time -f '%U %S %e' -o "$work/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    cat "$work/time"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# compare NAME INPUT TARGET "ZELPH OPTIONS" "PEER COMMAND": the sides run in
# turn; the peer writes peer.TARGET.
compare() {
    local name=$1 input=$2 target=$3 ours=$4 peer=$5 i
    : >ours.times
    : >peer.times
    for i in $(seq "$runs"); do
        timed sh -c "$convert --quiet --target $target --if-exists overwrite --output-dir $work/out/ $ours $input" >>ours.times
        timed sh -c "$peer" >>peer.times
    done
    local oc ow pc pw os ps
    oc=$(awk '{ print $1 + $2 }' ours.times | median)
    ow=$(awk '{ print $3 }' ours.times | median)
    pc=$(awk '{ print $1 + $2 }' peer.times | median)
    pw=$(awk '{ print $3 }' peer.times | median)
    os=$(stat -c %s "out/${input%.wav}.$target")
    ps=$(stat -c %s "peer.$target")
    printf '%-30s cpu %6.2f s  wall %6.2f s | peer cpu %6.2f s  wall %6.2f s | ratio cpu %.3f  wall %.3f | size %d / %d = %.4f\n' \
        "$name" "$oc" "$ow" "$pc" "$pw" "$(echo "$oc / $pc" | bc -l)" "$(echo "$ow / $pw" | bc -l)" \
        "$os" "$ps" "$(echo "$os / $ps" | bc -l)"
}

flac="flac -s -f -o $work/peer.flac"
for input in cd.wav hires.wav; do
    compare "FLAC $input level 5" "$input" flac "" "$flac -5 $input"
    compare "FLAC $input level 8" "$input" flac "--set flac.level=8" "$flac -8 $input"
    compare "FLAC $input level 5 verify" "$input" flac "--set flac.verify=1" "$flac -5 -V $input"
done
flac -s -t out/cd.flac out/hires.flac

opus="opusenc --quiet --bitrate 128"
compare "Opus cd.wav 128 VBR" cd.wav opus "--set opus.bitrate=128" "$opus cd.wav peer.opus"
compare "Opus cd.wav 128 CBR" cd.wav opus "--set opus.bitrate=128 --set opus.mode=2" "$opus --hard-cbr cd.wav peer.opus"
