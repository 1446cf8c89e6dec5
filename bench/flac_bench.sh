#!/usr/bin/env bash
# WAV -> FLAC: zelph-convert --target flac against flac itself, whole
# processes on both sides, on the same 10-minute input at the same settings:
#   level 5            vs  flac -5
#   level 8            vs  flac -8
#   level 5 + verify   vs  flac -5 -V
# for a CD-form (16-bit stereo 44.1 kHz) and a hi-res (24-bit stereo 96 kHz)
# input. Prints the median processor time (user + sys) and wall time of
# several runs of each side, the ratios zelph / flac (at most 1 means as fast
# or faster) and the ratio of the output sizes.
# Usage: bench/flac_bench.sh [build folder] [runs]   (defaults: build, 5)
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

# compare NAME INPUT "ZELPH OPTIONS" "FLAC OPTIONS": the sides run in turn.
compare() {
    local name=$1 input=$2 ours=$3 peer=$4 i
    : >ours.times
    : >peer.times
    for i in $(seq "$runs"); do
        timed sh -c "$convert --quiet --target flac --if-exists overwrite --output-dir $work/out/ $ours $input" >>ours.times
        timed sh -c "flac -s -f $peer $input -o $work/peer.flac" >>peer.times
    done
    flac -s -t "out/${input%.wav}.flac"
    local oc ow pc pw os ps
    oc=$(awk '{ print $1 + $2 }' ours.times | median)
    ow=$(awk '{ print $3 }' ours.times | median)
    pc=$(awk '{ print $1 + $2 }' peer.times | median)
    pw=$(awk '{ print $3 }' peer.times | median)
    os=$(stat -c %s "out/${input%.wav}.flac")
    ps=$(stat -c %s peer.flac)
    printf '%-30s cpu %6.2f s  wall %6.2f s | flac cpu %6.2f s  wall %6.2f s | ratio cpu %.3f  wall %.3f | size %d / %d = %.4f\n' \
        "$name" "$oc" "$ow" "$pc" "$pw" "$(echo "$oc / $pc" | bc -l)" "$(echo "$ow / $pw" | bc -l)" \
        "$os" "$ps" "$(echo "$os / $ps" | bc -l)"
}

for input in cd.wav hires.wav; do
    compare "$input level 5" "$input" "" "-5"
    compare "$input level 8" "$input" "--set flac.level=8" "-8"
    compare "$input level 5 verify" "$input" "--set flac.verify=1" "-5 -V"
done
