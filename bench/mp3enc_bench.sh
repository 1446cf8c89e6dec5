#!/usr/bin/env bash
# WAV to MP3 through each MP3 target, `zelph-convert --target lame|blade|gogo`,
# against the lame command line on the same ten-minute file with the same
# settings: bit rate or VBR quality, channel mode and LAME's quality, and
# --noreplaygain, since none of our encoders runs the ReplayGain analysis
# that lame runs by default. All three of our libraries are built on LAME,
# so with equal settings both sides make the same audio; the benchmark
# checks that by decoding both outputs with mpg123.
# Usage: bench/mp3enc_bench.sh [build folder] [source.wav]
#   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"

wav=${2:-$bench_work/source.wav}
[ -n "${2:-}" ] || sox -n -r 44100 -c 2 -b 16 "$wav" synth "$(scaled 600)" pinknoise synth "$(scaled 600)" sine mix 110-3520 gain -9 \
    tremolo 3 60
mkdir "$bench_work/ours"

# row LABEL TARGET "ZELPH SETTINGS" "LAME OPTIONS"
row() {
    local label=$1 target=$2 sets=() option
    read -ra lame <<<"$4"
    for option in $3; do sets+=(--set "$option"); done
    for _ in $(seq "$bench_runs"); do
        sample "zelph $label" "$cli" --quiet --target "$target" "${sets[@]}" --output-dir "$bench_work/ours" \
            --if-exists overwrite "$wav"
        # lame's output is synced with its folder, as ours is.
        sample "lame $4" sh -c 'out=$1; shift; lame --silent --noreplaygain "$@" "$out" && sync "$out" "${out%/*}"' _ \
            "$bench_work/lame.mp3" "${lame[@]}" "$wav"
    done
    local ours=$bench_work/ours/${wav##*/}
    cmp -s <(mpg123 -q -s "${ours%.*}.mp3") <(mpg123 -q -s "$bench_work/lame.mp3") ||
        { echo "$label: the decoded audio of the two sides differs, so their settings do" >&2; exit 1; }
    report "$label (decoded audio of both sides identical)" "zelph $label" "lame $4" cpu 1.02
}

# The frame bits lame leaves off (CRC, copyright, private) are off on our side
# too: a CRC takes bits from the audio.
bits="lame.crcBit=0 lame.copyrightBit=0 lame.privateBit=0 lame.originalBit=1"
row "LAME CBR 128 joint" lame "$bits lame.bitrateMode=1 lame.cbrBitrate=128 lame.channelMode=3" "-b 128 -m j"
row "LAME VBR quality 2 joint" lame \
    "$bits lame.bitrateMode=3 lame.quality=2 lame.vbrMinBitrate=32 lame.vbrMaxBitrate=320 lame.channelMode=3" "-V 2 -m j"
# Blade and GoGo (at its CBR tag setting) write no Info tag frame; -t leaves
# it off lame's output as well, else mpg123 would trim lame's output only.
row "Blade CBR 128 stereo" blade "${bits//lame/blade} blade.bitrate=128 blade.sampleRate=44100 blade.channelMode=2" \
    "-b 128 -m s"
row "GoGo CBR 128 joint q3" gogo \
    "gogo.bitrateMode=1 gogo.bitrate=128 gogo.channelMode=3 gogo.quality=3 gogo.lowPassFilter=0 gogo.psychoAcoustics=1
     gogo.emphasis=0" "-b 128 -m j -q 3"
