#!/usr/bin/env bash
# Fills FOLDER (created) with COUNT music files of mixed kinds, made in the
# current folder from one generated tone, plus some files of no known kind.
# Usage: bench/mixed_files.sh FOLDER COUNT
set -euo pipefail
folder=$1 count=$2

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

mkdir -p "$folder"
for ((i = 0; i < count; ++i)); do
  kind=${kinds[i % ${#kinds[@]}]}
  cp "$kind" "$folder/$i-$kind"
done
