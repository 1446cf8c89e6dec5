#!/usr/bin/env bash
# Does the suite catch real faults? Each mutation below is a small, deliberate
# fault in the code. One at a time, it is put into a scratch copy of the tree,
# which is rebuilt (incrementally: the copy and its build folder are kept
# between runs) and tested: first the test programs named beside the
# mutation (built alone, their tests picked by label), then, if they all
# pass, the whole suite. A mutation no test fails on is a gap.
# Run by hand; the tree this script lives in is never changed.
#
#   tests/mutations.sh [--scratch DIR] [--rev COMMIT] [--no-baseline] [NAME...]
#
# The copy is of a commit (HEAD unless --rev names another), so work in
# progress is neither tested nor disturbed.
# NAMEs pick mutations (all by default). Before the mutations, the unmutated
# copy runs every named test program once: a test that fails unmutated
# proves nothing (--no-baseline skips it when the suite is known green at
# that commit). Prints a table:
# mutation, "caught" or "NOT CAUGHT", and the first failing tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
scratch=/tmp/zelph-mutations
baseline=1
rev=HEAD
picked=()
while (($#)); do
  case $1 in
    --scratch) scratch=$2; shift 2 ;;
    --rev) rev=$2; shift 2 ;;
    --no-baseline) baseline=0; shift ;;
    *) picked+=("$1"); shift ;;
  esac
done
tree=$scratch/tree
build=$tree/build

names=() files=() olds=() news=() hints=()
# mutation NAME FILE OLD NEW HINT: in FILE, the one occurrence of OLD becomes
# NEW; HINT names the test programs expected to notice.
mutation() { names+=("$1"); files+=("$2"); olds+=("$3"); news+=("$4"); hints+=("$5"); }

# codecs
mutation wav-channels-swapped codecs/wavpcmengine.cpp \
  'PutSample(out, left, to.bits);' 'PutSample(out, right, to.bits);' 'wavpcm_test hireswav_test'
mutation wav-8bit-offset codecs/wavpcmengine.cpp \
  'return static_cast<int16_t>((at[0] - 128) * 256);' 'return static_cast<int16_t>((at[0] - 127) * 256);' 'wavpcm_test hireswav_test'
mutation wav-block-drops-a-frame codecs/wavpcmengine.cpp \
  'done += count;' 'done += count + 1;' 'wavpcm_test hireswav_test'
mutation ape-frame-count codecs/apeengines.cpp \
  'layout.totalBlocks = ask(APE_DECOMPRESS_TOTAL_BLOCKS);' 'layout.totalBlocks = ask(APE_DECOMPRESS_TOTAL_BLOCKS) - 1;' 'apeengines_test'
mutation mp3-window-frames codecs/mp3decoder.cpp \
  'const uint64_t total = uint64_t{*info.frames} * samplesPerFrame;' 'const uint64_t total = (uint64_t{*info.frames} - 1) * samplesPerFrame;' 'decoders_test'
mutation opus-cbr-inverted codecs/opusencoder.cpp \
  'OPUS_SET_VBR(settings.mode == OpusMode::kCbr ? 0 : 1)' 'OPUS_SET_VBR(settings.mode == OpusMode::kCbr ? 1 : 0)' 'opusencoder_test'
mutation ogg-abr-half codecs/oggencoder.cpp \
  'nominal(settings.abrBitrate)' 'nominal(settings.abrBitrate / 2)' 'oggencoder_test'
# core
mutation output-folder-sync-dropped core/runner.cpp \
  'if (!SyncFolderOf(final)) {' 'if (false) {' 'faults_test runner_test'
mutation output-sync-dropped core/runner.cpp \
  'if (!SyncPath(partial, O_RDONLY)) {' 'if (false) {' 'faults_test runner_test'
mutation read-back-skipped core/runner.cpp \
  'finishProblem = ReadBack(partial, {audio, tags.writtenFields, tags.writtenPictures});' 'finishProblem = "";' 'faults_test runner_test'
mutation unique-name-order core/naming.cpp \
  'base + "(" + std::to_string(n) + ")"' 'base + "(" + std::to_string(n + 1) + ")"' 'planner_test'
mutation skip-existing-ignored core/planner.cpp \
  'skip = unique != path;' 'skip = false;' 'planner_test cli_test'
mutation riff-extent-unchecked core/readback.cpp \
  'if (offset > file.size()) return std::nullopt;' '' 'planner_test faults_test'
# formats
mutation mpeg2-layer3-frame-samples formats/mpafile.cpp \
  '{{384, 1152, 1152}, {384, 1152, 576}}' '{{384, 1152, 1152}, {384, 1152, 1152}}' 'mpafile_test probes_test'
mutation wav-channel-range formats/waveheader.cpp \
  'f.channels < 1 || f.channels > 8' 'f.channels < 1 || f.channels > 9' 'waveheader_test'
mutation wav-audio-not-whole-blocks formats/waveheader.cpp \
  'format.audioBytes = layout.audioBytes - layout.audioBytes % f.blockAlign;' 'format.audioBytes = layout.audioBytes;' 'waveheader_test wavpcm_test'
# metadata
mutation riff-genre-dropped metadata/wavetags.cpp \
  '{"GENRE", "IGNR"},' '' 'tags_test'
mutation track-total-not-joined metadata/tags.cpp \
  'JoinTotal(fields, "TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"});' '' 'tags_test'
mutation ogg-pictures-not-written metadata/xiphcomments.h \
  'file.tag()->removeAllPictures();
    for (const TagPicture& picture : tags.pictures) file.tag()->addPicture(PictureBlockOf(picture).release());' \
  'file.tag()->removeAllPictures();' 'tags_test'
# settings
mutation existing-action-range settings/settingsfields.cpp \
  'general.existingFileAction, 1, 3)' 'general.existingFileAction, 1, 4)' 'settings_test cli_test'
mutation output-folder-length settings/settings.cpp \
  'folder.size() >= kOutputFolderSize' 'folder.size() > kOutputFolderSize' 'settings_test'
mutation lame-vbr-method-not-stored settings/enginemp3lame.cpp \
  'vbrMethod_->Store(block_->vbrMethodIndex, block_->vbrMethod);' '' 'settings_windows_test'
mutation flac-verify-not-stored settings/engineflac.cpp \
  'block_->verify = verify_->isChecked();' '' 'settings_windows_test'
# cli
mutation usage-exit-code cli/main.cpp \
  'std::cerr << "zelph-convert: " << message << " (see --help)\n";
    return 2;' 'std::cerr << "zelph-convert: " << message << " (see --help)\n";
    return 1;' 'cli_test'
mutation failed-file-exit-code cli/convert.cpp \
  'return printer.AllDone() ? 0 : 1;' 'return 0;' 'cli_test faults_test'
# app, ui
mutation unknown-file-scheduled app/converterdlg.cpp \
  'description.known ? "Scheduled" : "Unscheduled"' '"Scheduled"' 'gui_test'
mutation icon-right-ignored ui/xtargetbutton.cpp \
  'alignment == kIconLeft || alignment == kIconRight ? alignment : kIconAbove' 'alignment == kIconLeft ? alignment : kIconAbove' 'gui_test'

# Replaces the one occurrence of $2 in $1 by $3; fails loudly when the text
# is not there exactly once (the code moved on: update the mutation).
replace_once() {
  python3 - "$@" <<'EOF'
import sys
path, old, new = sys.argv[1:]
text = open(path).read()
count = text.count(old)
if count != 1:
    sys.exit(f"{path}: the mutated text occurs {count} times, not once:\n{old}")
open(path, "w").write(text.replace(old, new))
EOF
}

# The copy is the committed tree at $rev; files whose bytes did not change
# keep their times, so rebuilds stay incremental.
sync_copy() {
  rm -rf "$scratch/export" && mkdir -p "$scratch/export" "$tree"
  git -C "$root" archive "$rev" | tar -x -C "$scratch/export"
  local file
  while IFS= read -r -d '' file; do
    cmp -s "$scratch/export/$file" "$tree/$file" && continue
    mkdir -p "$(dirname "$tree/$file")" && cp -P "$scratch/export/$file" "$tree/$file"
  done < <(cd "$scratch/export" && find . \( -type f -o -type l \) -print0)
  while IFS= read -r -d '' file; do
    [[ -e $scratch/export/$file || -L $scratch/export/$file ]] || rm -f "$tree/$file"
  done < <(cd "$tree" && find . -path ./build -prune -o \( -type f -o -type l \) -print0)
  rm -rf "$scratch/export"
}

# Builds the copy: everything, or the targets named.
build_copy() {
  export CCACHE_BASEDIR=$scratch CCACHE_NOHASHDIR=1 CCACHE_DIR=${CCACHE_DIR:-/work/.ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache} CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  [[ -f $build/build.ninja ]] || cmake -S "$tree" -B "$build" -G Ninja >/dev/null
  cmake --build "$build" -j2 ${1:+--target "$@"} >"$scratch/build.log" 2>&1
}

# Runs ctest with $@; prints the failing tests' names, returns 1 when any failed.
run_tests() {
  rm -f "$build/Testing/Temporary/LastTestsFailed.log"
  if (cd "$build" && ctest -j2 --timeout 600 --stop-on-failure "$@" >"$scratch/ctest.log" 2>&1); then
    return 0
  fi
  if [[ -s $build/Testing/Temporary/LastTestsFailed.log ]]; then
    cut -d: -f2- "$build/Testing/Temporary/LastTestsFailed.log" | head -3 | paste -sd' '
  else
    echo "(ctest failed: see $scratch/ctest.log)"
  fi
  return 1
}

chosen=()
for i in "${!names[@]}"; do
  if ((${#picked[@]} == 0)) || [[ " ${picked[*]} " == *" ${names[i]} "* ]]; then chosen+=("$i"); fi
done
((${#chosen[@]})) || { echo "no mutation named ${picked[*]}" >&2; exit 2; }

sync_copy
# Every chosen mutation must still apply before any time is spent.
for i in "${chosen[@]}"; do
  cp "$tree/${files[i]}" "$scratch/check"
  replace_once "$scratch/check" "${olds[i]}" "${news[i]}"
done
rm -f "$scratch/check"

echo "building the copy in $build" >&2
build_copy || { echo "the unmutated copy does not build: see $scratch/build.log" >&2; exit 1; }
if ((baseline)); then
  echo "baseline: every named test program, unmutated" >&2
  read -ra every <<<"$(printf '%s\n' "${hints[@]}" | tr ' ' '\n' | sort -u | paste -sd' ')"
  if ! failed=$(run_tests -L "^($(IFS='|'; echo "${every[*]}"))\$"); then
    echo "the unmutated tests fail: $failed" >&2; exit 1
  fi
fi

results=()
missed=0
for i in "${chosen[@]}"; do
  file=$tree/${files[i]}
  cp -p "$file" "$scratch/original"
  replace_once "$file" "${olds[i]}" "${news[i]}"
  echo "mutation ${names[i]}" >&2
  read -ra programs <<<"${hints[i]}"
  labels="^($(IFS='|'; echo "${programs[*]}"))\$"
  if ! build_copy "${programs[@]}"; then
    verdict="BUILD FAILED (pick another mutation)"; by=$(grep -m1 'error' "$scratch/build.log" || true); missed=$((missed + 1))
  elif by=$(run_tests -L "$labels"); then
    if ! build_copy; then
      verdict="BUILD FAILED (pick another mutation)"; by=$(grep -m1 'error' "$scratch/build.log" || true); missed=$((missed + 1))
    elif by=$(run_tests); then
      verdict="NOT CAUGHT"; by="-"; missed=$((missed + 1))
    else
      verdict=caught
    fi
  else
    verdict=caught
  fi
  # The original bytes with a new time, so the next build compiles it again.
  cat "$scratch/original" >"$file"
  results+=("$(printf '%-28s %-11s %s' "${names[i]}" "$verdict" "$by")")
  echo "  $verdict $by" >&2
done
rm -f "$scratch/original"

printf '%-28s %-11s %s\n' mutation verdict "failing tests (first three)"
printf '%s\n' "${results[@]}"
echo "$((${#chosen[@]} - missed)) of ${#chosen[@]} caught"
((missed == 0))
