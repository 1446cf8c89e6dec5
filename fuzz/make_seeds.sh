#!/usr/bin/env bash
# Tiny seed inputs, one folder per probe: a valid header or two of each kind.
set -euo pipefail
out=$1
rm -rf "$out"; mkdir -p "$out"/{ape,flac,mpeg,ogg,opus,twinvq,wav}
zeros() { head -c "$1" /dev/zero; }

{ printf 'MAC \x96\x0f'; zeros 62; printf '\x10\x00\x02\x00\x44\xac\x00\x00'; } > "$out/ape/stereo"
{ printf 'MAC \x8c\x0f'; zeros 70; } > "$out/ape/old"

# Two Layer I frames of 34 bytes; the same behind an ID3v2 tag; a Xing
# frame and a VBRI frame of 417 bytes followed by plain ones.
frame1() { printf '\xff\xff\x10\x00'; zeros 30; }
frame3() { printf '\xff\xfb\x90\x00'; zeros 32; printf "$1"; zeros $((417 - 36 - $2)); }
{ frame1; frame1; } > "$out/mpeg/layer1"
{ printf 'ID3\x04\x00\x00\x00\x00\x00\x10'; zeros 16; frame1; frame1; } > "$out/mpeg/id3"
{ frame3 'Xing\x00\x00\x00\x03\x00\x00\x03\xe8\x00\x3d\x09\x00' 16; frame3 '' 0; } > "$out/mpeg/xing"
{ frame3 'VBRI\x00\x01\x02\x40\x00\x4b\x00\x0c\x35\x00\x00\x00\x07\xd0\x00\x01\x00\x01\x00\x02\x00\x0a\x01\x01\x01\x01' 30
  frame3 '' 0; } > "$out/mpeg/vbri"

vorbis() { printf "OggS"; zeros 22; printf '\x01\x1e\x01vorbis\x00\x00\x00\x00'"$1"; }
vorbis '\x02\x44\xac\x00\x00\x00\x00\x00\x00\x00\xf4\x01\x00\x00\x00\x00\x00' > "$out/ogg/vbr"
vorbis '\x01\x22\x56\x00\x00\xff\xff\xff\xff\x00\x71\x02\x00\xff\xff\xff\xff' > "$out/ogg/abr"

printf 'TWIN97012000\x00\x00\x00\x00COMM\x00\x00\x00\x0c\x00\x00\x00\x01\x00\x00\x00\x14\x00\x00\x00\x16' \
  > "$out/twinvq/stereo"

# A stream information block: 44100 Hz, 2 channels, 16 bits; 96000 Hz, 6 channels, 24 bits.
streaminfo() { printf 'fLaC\x80\x00\x00\x22\x10\x00\x10\x00\x00\x00\x00\x00\x00\x00'"$1"; zeros 20; }
streaminfo '\x0a\xc4\x42\xf0' > "$out/flac/stereo"
streaminfo '\x17\x70\x0b\x70' > "$out/flac/surround"
{ printf 'ID3\x03\x00\x00\x00\x00\x00\x04'; zeros 4; streaminfo '\x0a\xc4\x42\xf0'; } > "$out/flac/tagged"
{ printf "OggS"; zeros 22; printf '\x01\x33\x7fFLAC\x01\x00\x00\x01'; streaminfo '\x0a\xc4\x42\xf0'; } > "$out/flac/ogg"

opushead() { printf "OggS"; zeros 22; printf '\x01\x13OpusHead\x01'"$1"'\x38\x01\x80\xbb\x00\x00\x00\x00\x00'; }
opushead '\x02' > "$out/opus/stereo"
opushead '\x01' > "$out/opus/mono"

# PCM, float and extensible 24-bit 5.1 headers with a few frames.
riff() { printf 'RIFF\x00\x01\x00\x00WAVE'; }
{ riff; printf 'fmt \x10\x00\x00\x00\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\x10\x00\x00\x00'; zeros 16; } > "$out/wav/pcm"
{ riff; printf 'fmt \x10\x00\x00\x00\x03\x00\x01\x00\x80\xbb\x00\x00\x00\xee\x02\x00\x04\x00\x20\x00data\xff\xff\xff\xff'; zeros 16; } > "$out/wav/float"
{ riff; printf 'fmt \x28\x00\x00\x00\xfe\xff\x06\x00\x80\xbb\x00\x00\x00\x5f\x0d\x00\x12\x00\x18\x00'
  printf '\x16\x00\x18\x00\x3f\x00\x00\x00\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71'
  printf 'LIST\x04\x00\x00\x00INFOdata\x24\x00\x00\x00'; zeros 36; } > "$out/wav/extensible"
# RF64: the sizes in a ds64 chunk; a data chunk followed by a tag chunk.
{ printf 'RF64\xff\xff\xff\xffWAVEds64\x1c\x00\x00\x00\x54\x00\x00\x00\x00\x00\x00\x00'
  printf '\x10\x00\x00\x00\x00\x00\x00\x00\x04\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  printf 'fmt \x10\x00\x00\x00\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\xff\xff\xff\xff'
  zeros 16; } > "$out/wav/rf64"
{ riff; printf 'fmt \x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00data\x03\x00\x00\x00'
  zeros 3; printf 'id3 \x04\x00\x00\x00abcd'; } > "$out/wav/tagged"

# The engines' inputs, made by the tools: a few short WAV forms, an MP3, an
# Ogg Vorbis, a FLAC, an Ogg FLAC and an Opus file of them, and a settings record of zeros whose check
# value (1332 plus its last byte) holds.
mkdir -p "$out"/{wav,mp3,ogg-file,flac-file,opus-file,settings}
tone() { sox -q -n -r "$1" -c "$2" -b "$3" "$4" synth 0.03 sine 440; }
tone 44100 2 16 "$out/wav/stereo16.wav"
tone 22050 1 16 "$out/wav/mono16.wav"
tone 8000 1 8 "$out/wav/mono8.wav"
tone 48000 2 24 "$out/wav/stereo24.wav"
lame --quiet -b 32 "$out/wav/mono16.wav" "$out/mp3/mono.mp3"
oggenc -Q -q 0 -o "$out/ogg-file/mono.ogg" "$out/wav/mono16.wav"
flac -s -o "$out/flac-file/stereo.flac" "$out/wav/stereo16.wav"
flac -s --ogg -o "$out/flac-file/mono.oga" "$out/wav/mono8.wav"
opusenc --quiet --bitrate 16 "$out/wav/mono16.wav" "$out/opus-file/mono.opus"
{ printf '\x34\x05\x00\x00'; zeros 1332; } > "$out/settings/zeros"

# One short file of each container and codec FFmpeg decodes for us.
mkdir -p "$out/ffmpeg-file"
av() { ffmpeg -v error -i "$out/wav/mono8.wav" "$@"; }
av -c:a aac -b:a 16k "$out/ffmpeg-file/aac.m4a"
av -c:a alac "$out/ffmpeg-file/alac.m4a"
av -c:a wmav2 -b:a 32k "$out/ffmpeg-file/wma.wma"
av -c:a pcm_s16be "$out/ffmpeg-file/pcm.aiff"
av -c:a wavpack "$out/ffmpeg-file/wavpack.wv"
av -c:a tta "$out/ffmpeg-file/tta.tta"
av -c:a pcm_s24le "$out/ffmpeg-file/pcm.w64"
av -c:a alac "$out/ffmpeg-file/alac.caf"
av -ar 48000 -c:a ac3 -b:a 32k "$out/ffmpeg-file/ac3.ac3"
av -c:a aac -b:a 16k "$out/ffmpeg-file/adts.aac"
av -c:a flac "$out/ffmpeg-file/flac.mka"
