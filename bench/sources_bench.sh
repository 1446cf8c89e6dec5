#!/usr/bin/env bash
# zelph-convert against the format's own tool, whole processes on both sides,
# on the same 10-minute input and to the same output form:
#   FLAC 16-bit stereo 44.1 kHz -> 16-bit WAV   vs  flac -d      (both check the MD5)
#   Opus stereo 48 kHz          -> 16-bit WAV   vs  opusdec --rate 48000 (both dither)
#   24-bit stereo 48 kHz WAV    -> 16-bit WAV   vs  sox -b 16    (both dither)
# Prints the median processor time (user + sys) and wall time of several runs
# of each, and the ratios zelph / peer: at most 1 means as fast or faster.
# Usage: bench/sources_bench.sh [build folder] [runs]   (defaults: build, 5)
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-5}
convert=$build/bin/zelph-convert
[ -x "$convert" ] || { echo "build $convert first (cmake --build ${1:-build} --target zelph-convert)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # no Settings.dat here: every setting at its default
mkdir out

echo "making the 10-minute inputs..." >&2
# Music-like content: tones over quiet noise, so no coder finds it trivial.
sox -n -r 44100 -c 2 -b 16 cd.wav synth 600 sine 220 sine 330 synth pinknoise mix vol 0.5
flac -s -f cd.wav -o song.flac
sox -n -r 48000 -c 2 -b 16 opus-in.wav synth 600 sine 220 sine 330 synth pinknoise mix vol 0.5
opusenc --quiet opus-in.wav song.opus
sox -n -r 48000 -c 2 -b 24 hires.wav synth 600 sine 220 sine 330 synth pinknoise mix vol 0.5

# "user sys wall" of one run of the command.
timed() {
    /usr/bin/time -f '%U %S %e' -o "$work/time" "$@" >/dev/null 2>&1
    cat "$work/time"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# compare NAME "ZELPH COMMAND" "PEER COMMAND": runs both in turn, prints medians and ratios.
compare() {
    local name=$1 ours=$2 peer=$3 i
    : >ours.times
    : >peer.times
    for i in $(seq "$runs"); do
        timed sh -c "$ours" >>ours.times
        timed sh -c "$peer" >>peer.times
    done
    local oc ow pc pw
    oc=$(awk '{ print $1 + $2 }' ours.times | median)
    ow=$(awk '{ print $3 }' ours.times | median)
    pc=$(awk '{ print $1 + $2 }' peer.times | median)
    pw=$(awk '{ print $3 }' peer.times | median)
    printf '%-34s cpu %6.2f s  wall %6.2f s | peer cpu %6.2f s  wall %6.2f s | ratio cpu %.2f  wall %.2f\n' \
        "$name" "$oc" "$ow" "$pc" "$pw" "$(echo "$oc / $pc" | bc -l)" "$(echo "$ow / $pw" | bc -l)"
}

zelph="$convert --quiet --target wav --if-exists overwrite --output-dir $work/out/"
compare "FLAC -> WAV vs flac -d" "$zelph song.flac" "flac -s -d -f song.flac -o out/flac.wav"
compare "Opus -> WAV vs opusdec" "$zelph song.opus" "opusdec --quiet --rate 48000 song.opus out/opusdec.wav"
compare "24-bit -> 16-bit WAV vs sox -b 16" "$zelph hires.wav" "sox hires.wav -b 16 out/sox.wav"
