#!/usr/bin/env bash
# Lists, per format, the code files outside the format's own files and
# folders that name it (any of its words, whole, in any case; comments
# count). Tests, benchmarks, fuzzers and build files are left out: they may
# name every format. A format's own files are those whose path holds one of
# its names, and the few named below that belong to it under another name;
# Ogg, a container, is named by the formats it carries too (Opus, FLAC in
# Ogg, their Xiph comments), whose files are left out of its count. WAV is
# the form every engine reads or writes, so every engine names it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
# AIFF, M4A and WavPack are targets of their own and, as sources, kinds the
# FFmpeg row reads: that row's decoder and tag reader name them as theirs.
ffmpeg_row="*ffmpeg* metadata/othertags.*"
# label | words | own paths (globs; * crosses folders)
formats=(
    "wav|wav|*wav* *wave*"
    "mp3|mp3 mpeg lame gogo blade|*mp3* mpeg* mpa* *lame* *gogo* *blade* formats/encoderinfo.* formats/vbrheader.* codecs/bestreamencoder.*"
    "ogg|ogg vorbis|*ogg* *vorbis* *opus* *flac* metadata/xiphcomments.*"
    "ape|ape monkey|*ape* *monkey* plugins/macdll/*"
    "flac|flac|*flac*"
    "opus|opus|*opus*"
    "aiff|aiff|*aiff* $ffmpeg_row"
    "m4a|m4a mp4 aac alac|*m4a* *mp4* *aac* *alac* $ffmpeg_row"
    "wavpack|wavpack wvc|*wavpack* $ffmpeg_row"
    "ffmpeg|wma tta mpc dsf caf w64 ac3 mka matroska|$ffmpeg_row"
)
for entry in "${formats[@]}"; do
    IFS='|' read -r label words own <<<"$entry"
    patterns=()
    for word in $words; do patterns+=(-e "$word"); done
    excluded=(':!tests' ':!bench' ':!fuzz' ':!*/CMakeLists.txt')
    for path in $own; do excluded+=(":!*/$path" ":!$path"); done
    files=$(git grep -l -i -w "${patterns[@]}" -- '*.cpp' '*.h' "${excluded[@]}" || true)
    printf '%-7s %2d  %s\n' "$label" "$(grep -c . <<<"$files" || true)" "$(tr '\n' ' ' <<<"$files")"
done
