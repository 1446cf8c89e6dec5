#!/usr/bin/env bash
# Adds 5,000 generated files of mixed formats to the main window at once
# (offscreen), from start until every row is listed and drawn, and times the
# whole process against `file -b` on the same files, which reads each
# file's header and describes it as each row does, and against `ls -l`,
# which only finds each file's size. Our side's time includes starting Qt
# and opening the window.
# Usage: bench/add_files_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
bench_memory_target=  # not a conversion: no memory target
[ -x "$build/bin/add_files" ] || { echo "build $build/bin/add_files first" >&2; exit 1; }

cd "$bench_work"
"$bench/mixed_files.sh" files "$(scaled 5000)"
mapfile -t list < <(printf '%s\n' "$bench_work"/files/*)

for _ in $(seq "$bench_runs"); do
    sample "main window" "$build/bin/add_files" "${list[@]}"
    sample "file -b" file -b "${list[@]}"
    sample "ls -l" ls -l "${list[@]}"
done
echo "files: ${#list[@]}"
report "adding to the main window, against file -b" "main window" "file -b"
report "adding to the main window, against ls -l" "main window" "ls -l"
