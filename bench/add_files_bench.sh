#!/usr/bin/env bash
# Adds 5,000 generated files of mixed formats to the main window at once and
# times it until every row is listed, against `ls -l` and `file -b` over the
# same files in the same run; prints the ratios (below 1.0: the window is
# faster). Each time is the best of three runs.
# Usage: bench/add_files_bench.sh [BUILD_DIR]
set -euo pipefail
shopt -s inherit_errexit
bench=$(realpath "$(dirname "${BASH_SOURCE[0]}")")
build=$(realpath "${1:-$bench/../build}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$bench/mixed_files.sh" files 5000
mapfile -t list < <(printf '%s\n' "$work"/files/*)

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null || { echo "failed: $1" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
best() { local t b=; for _ in 1 2 3; do t=$("$@"); if [[ -z $b ]] || (($(echo "$t < $b" | bc))); then b=$t; fi; done; echo "$b"; }

window=$(best "$build/bin/add_files" "${list[@]}")
ls=$(best seconds ls -l "${list[@]}")
file=$(best seconds file -b "${list[@]}")
echo "files: ${#list[@]}"
echo "main window: ${window}s (rows listed and drawn)"
echo "ls -l:       ${ls}s"
echo "file -b:     ${file}s"
echo "ratio to ls -l:   $(echo "scale=3; $window / $ls" | bc)"
echo "ratio to file -b: $(echo "scale=3; $window / $file" | bc)"
