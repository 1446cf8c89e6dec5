#!/usr/bin/env bash
# zelph-convert against the format's own tool, whole processes on both sides,
# on the same 10-minute input and to the same output form:
#   FLAC 16-bit stereo 44.1 kHz -> 16-bit WAV   vs  flac -d      (both check the MD5)
#   Opus stereo 48 kHz          -> 16-bit WAV   vs  opusdec --rate 48000 (both dither),
#                                                   and ffmpeg -f s16le (its own decoder, and libopus)
#   24-bit stereo 48 kHz WAV    -> 16-bit WAV   vs  sox -b 16    (both dither)
#   AAC and ALAC in M4A, WMA    -> 16-bit WAV   vs  ffmpeg -f s16le (both on FFmpeg's decoders;
#                                                   AAC's and WMA's float samples dithered by both,
#                                                   FFmpeg's with aresample's triangular dither)
# Our output is synced with its folder before the run ends; each peer's output
# is synced the same way.
# Usage: bench/sources_bench.sh [build folder]   (BENCH_RUNS sets the runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
cd "$bench_work"  # no Settings.dat here: every setting at its default
mkdir out

echo "making the 10-minute inputs..." >&2
music_wav cd.wav 44100 16 "$(scaled 600)"
flac -s -f cd.wav -o song.flac
music_wav opus-in.wav 48000 16 "$(scaled 600)"
opusenc --quiet opus-in.wav song.opus
music_wav hires.wav 48000 24 "$(scaled 600)"
ffmpeg -nostdin -v error -i cd.wav -c:a aac -b:a 256k song.m4a
ffmpeg -nostdin -v error -i cd.wav -c:a alac alac.m4a
ffmpeg -nostdin -v error -i cd.wav -c:a wmav2 -b:a 192k song.wma

# compare LABEL PEER-NAME SOURCE PEER-COMMAND: the sides in turn, then their report.
compare() {
    local label=$1 peer=$2 source=$3 command=$4 ours="zelph-convert $3 (against $2)"
    for _ in $(seq "$bench_runs"); do
        sample "$ours" "$cli" --quiet --target wav --if-exists overwrite --output-dir out/ "$source"
        sample "$peer" sh -c "$command && sync out ."
    done
    report "$label against $peer" "$ours" "$peer"
}

compare "FLAC -> WAV" "flac -d" song.flac "flac -s -d -f song.flac -o out/flac.wav && sync out/flac.wav"
compare "Opus -> WAV" "opusdec --rate 48000" song.opus \
    "opusdec --quiet --rate 48000 song.opus out/opusdec.wav && sync out/opusdec.wav"
# FFmpeg's own Opus decoder, and FFmpeg on libopus (which pays what ours does).
compare "Opus -> WAV" "ffmpeg -f s16le" song.opus \
    "ffmpeg -nostdin -v error -i song.opus -f s16le -y out/ffmpeg.raw && sync out/ffmpeg.raw"
compare "Opus -> WAV" "ffmpeg -c:a libopus -f s16le" song.opus \
    "ffmpeg -nostdin -v error -c:a libopus -i song.opus -f s16le -y out/ffmpeg.raw && sync out/ffmpeg.raw"
compare "24-bit -> 16-bit WAV" "sox -b 16" hires.wav "sox hires.wav -b 16 out/sox.wav && sync out/sox.wav"
compare "AAC in M4A -> WAV" "ffmpeg -f s16le, triangular dither" song.m4a \
    "ffmpeg -nostdin -v error -i song.m4a -af aresample=dither_method=triangular -f s16le -y out/ffmpeg.raw && sync out/ffmpeg.raw"
compare "WMA -> WAV" "ffmpeg -f s16le, triangular dither" song.wma \
    "ffmpeg -nostdin -v error -i song.wma -af aresample=dither_method=triangular -f s16le -y out/ffmpeg.raw && sync out/ffmpeg.raw"
compare "ALAC in M4A -> WAV" "ffmpeg -f s16le" alac.m4a \
    "ffmpeg -nostdin -v error -i alac.m4a -f s16le -y out/ffmpeg.raw && sync out/ffmpeg.raw"
