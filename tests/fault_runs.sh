#!/usr/bin/env bash
# Randomised fault runs of zelph-convert --delete-source, run by hand:
#   tests/fault_runs.sh BUILD_DIR [RUNS] [SEED]
# Each run converts three sources (a WAV, a 3-s MP3 with a 1 MB cover, a
# CBR MP3 that zzuf may have damaged) to a random target while one fault
# strikes: a file size limit anywhere up to past the tag save, a kill, a
# source replaced or grown mid-batch, a reader that closes the pipe, or a
# second run from another PID namespace. A file is lost when its source is
# gone and its output does not decode as long as the source did.
set -uo pipefail
bin=$(realpath "$1")/bin; runs=${2:-300}; RANDOM=${3:-1}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
targets=($("$bin/zelph-convert" --help | grep -o -- '--target [a-z|]*' | head -1 | cut -d' ' -f2 | tr '|' ' '))
seconds() { ffmpeg -v quiet -i "$1" -f s16le -ac 1 -ar 8000 - 2>/dev/null | wc -c | awk '{ printf "%.2f", $1 / 16000 }'; }

mkdir "$work/orig" && cd "$work/orig" || exit 1
sox -n -r 44100 -c 2 -b 16 a.wav synth 2 sine 300-2000
sox -n -r 44100 -c 2 -b 16 t.wav synth 3 sine 500 && lame --quiet --cbr -b 128 --tt Song t.wav cbr.mp3
{ printf '\xff\xd8\xff\xe0\x00\x10JFIF\x00'; head -c 1000000 /dev/urandom; } > cover.jpg && cp cbr.mp3 b.mp3 && eyeD3 -Q --add-image cover.jpg:FRONT_COVER b.mp3 >/dev/null
rm t.wav
faults=0 lost=0 left=0 deleted=0
for ((run = 1; run <= runs; run++)); do
    rm -rf "$work/run" && mkdir -p "$work/run/out" && cd "$work/run" || exit 1
    cp ../orig/a.wav ../orig/b.mp3 . && zzuf -r "0.0$((RANDOM % 3))$((RANDOM % 10))" -s $RANDOM < ../orig/cbr.mp3 > c.mp3
    declare -A length=([a.wav]=$(seconds a.wav) [b.mp3]=$(seconds b.mp3) [c.mp3]=$(seconds c.mp3))
    target=${targets[RANDOM % ${#targets[@]}]}
    convert=("$bin/zelph-convert" --quiet --delete-source --if-exists overwrite --output-dir out --target "$target" a.wav b.mp3 c.mp3)
    fault=$((RANDOM % 6))
    case $fault in
        0) prlimit --fsize=$((RANDOM * 50)) "${convert[@]}" >/dev/null 2>&1 ;;
        1) "${convert[@]}" >/dev/null 2>&1 & pid=$!; sleep "0.$((RANDOM % 9))"; kill -9 $pid 2>/dev/null; wait $pid 2>/dev/null
           "${convert[@]/--delete-source/--no-tags}" >/dev/null 2>&1 ;;  # the next run cleans up
        2) "${convert[@]}" >/dev/null 2>&1 & pid=$!
           until [ -e out/a.* ] || ! kill -0 $pid 2>/dev/null; do sleep 0.005; done
           cp ../orig/cbr.mp3 x && mv x b.mp3 && length[b.mp3]=$(seconds b.mp3); head -c 9000 /dev/urandom >> a.wav
           wait $pid ;;
        3) "${convert[@]}" 2>/dev/null | head -c 1 >/dev/null ;;
        4) "${convert[@]}" >/dev/null 2>&1 & pid=$!; sleep "0.0$((RANDOM % 9))"
           unshare --pid --fork "$bin/zelph-convert" --quiet --output-dir out --target wav ../orig/cbr.mp3 >/dev/null 2>&1
           wait $pid ;;
        5) "${convert[@]}" >/dev/null 2>&1 ;;  # no fault: the control
    esac
    [ $fault -lt 5 ] && faults=$((faults + 1))
    for source in a.wav b.mp3 c.mp3; do
        [ -e "$source" ] && continue
        deleted=$((deleted + 1))
        output=$(ls out/"${source%.*}".* 2>/dev/null | head -1)
        got=$([ -n "$output" ] && seconds "$output" || echo 0)
        if awk -v a="$got" -v b="${length[$source]}" 'BEGIN { exit !(a < b - 0.15 || a > b + 0.15) }'; then
            lost=$((lost + 1)); echo "run $run ($target): $source lost, output $got s of ${length[$source]} s"
        fi
    done
    ls | grep -q '^Temp-QOR-File' && left=$((left + 1))
done
echo "runs: $runs, faults: $faults, sources deleted: $deleted, files lost: $lost, runs leaving run files: $left"
