#!/usr/bin/env bash
# Describes 5,000 generated files of mixed formats with the converter's probes
# and with `file -b`, over the same files in the same run, and prints the
# ratio of the two times (below 1.0: the probes are faster).
# Usage: bench/describe_bench.sh [BUILD_DIR]
set -euo pipefail
shopt -s inherit_errexit
build=$(realpath "${1:-$(dirname "${BASH_SOURCE[0]}")/../build}")
describe=("$build/bin/describe_files")
if "$build/bin/zelph-convert" --help 2>/dev/null | grep -q -- --describe; then
  describe=("$build/bin/zelph-convert" --describe)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# One file of each kind, encoded or assembled here.
sox -n -r 44100 -c 2 -b 16 tone.wav synth 4 sine 440 2>/dev/null
lame -S --preset cbr 128 tone.wav cbr.mp3 2>/dev/null
lame -S -V 4 tone.wav vbr.mp3 2>/dev/null
{ printf '\xff\xd8\xff\xe0'; head -c 150000 /dev/urandom; } > cover.jpg
lame -S -b 192 --tt Title --ti cover.jpg tone.wav cover.mp3 2>/dev/null
ffmpeg -v error -i tone.wav -c:a mp2 layer2.mp2
oggenc -Q -q 4 tone.wav -o vbr.ogg
oggenc -Q -b 128 -m 128 -M 128 tone.wav -o cbr.ogg
{ printf 'MAC \x96\x0f'; head -c 62 /dev/zero; printf '\x10\x00\x02\x00\x44\xac\x00\x00'; head -c 20000 /dev/urandom; } > song.ape
{ printf 'TWIN97012000\0\0\0\0COMM\0\0\0\x0c\0\0\0\x01\0\0\0\x14\0\0\0\x16'; head -c 20000 /dev/urandom; } > song.vqf
head -c 40000 /dev/urandom > noise.mp3
head -c 3000 /dev/urandom > notes.txt
kinds=(tone.wav cbr.mp3 vbr.mp3 cover.mp3 layer2.mp2 vbr.ogg cbr.ogg song.ape song.vqf noise.mp3 notes.txt)

mkdir files
for ((i = 0; i < 5000; ++i)); do
  kind=${kinds[i % ${#kinds[@]}]}
  cp "$kind" "files/$i-$kind"
done
mapfile -t list < <(printf '%s\n' files/*)

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null || { echo "failed: $1" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
best() { local t b=; for _ in 1 2 3; do t=$(seconds "$@"); if [[ -z $b ]] || (($(echo "$t < $b" | bc))); then b=$t; fi; done; echo "$b"; }

ours=$(best "${describe[@]}" "${list[@]}")
peer=$(best file -b "${list[@]}")
echo "files: ${#list[@]}"
echo "describe: ${ours}s  (${describe[*]##*/})"
echo "file -b:  ${peer}s"
echo "ratio: $(echo "scale=3; $ours / $peer" | bc)"
