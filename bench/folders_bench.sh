#!/usr/bin/env bash
# Long lists and folders. Planning 100,000 paths read from --files-from (the
# tree kept, --dry-run: every output named and placed, nothing converted)
# against `ls -ld` on the same list, which looks at each path once as the
# planner does; the plan must take at most 2 s of processor time. Adding a
# folder of 20,000 files of mixed kinds to the main window (offscreen, walked,
# every row described and drawn) against `find -printf` (the walk and each
# size) and `find | file -b` (the walk and each file's kind); at most 3 s.
# Lengths are read in the background after the rows show; the time until the
# last has arrived is printed beside, against the same peers, without a limit.
# Usage: bench/folders_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
bench_memory_target=  # not a conversion: no memory target
[ -x "$build/bin/add_files" ] || { echo "build $build/bin/add_files first" >&2; exit 1; }

# absolute NAME SECONDS: our median processor time against a fixed limit.
absolute() {
    awk -v cpu="$(cpu_of "$1")" -v limit="$2" -v name="$1" \
        'BEGIN { printf "  %s: cpu %.3f s <= %s s: %s\n", name, cpu, limit, cpu <= limit ? "met" : "MISSED" }'
}

cd "$bench_work"
paths=$(scaled 100000)
mkdir -p tree out
for ((d = 0; d < (paths + 999) / 1000; ++d)); do
    mkdir -p "tree/$d"
    (cd "tree/$d" && seq -f "%g.wav" 1 $((paths - d * 1000 < 1000 ? paths - d * 1000 : 1000)) | xargs touch)
done
find tree -type f > list
echo "paths: $(wc -l < list)"
for _ in $(seq "$bench_runs"); do
    sample "planning --files-from" "$cli" --dry-run --target ogg --output-dir out --keep-tree tree --files-from list
    sample "ls -ld" xargs -a list -d '\n' ls -ld
done
report "planning a list, against ls -ld" "planning --files-from" "ls -ld"
absolute "planning --files-from" 2

"$bench/mixed_files.sh" files "$(scaled 20000)"
echo "files: $(find files -type f | wc -l)"
for _ in $(seq "$bench_runs"); do
    sample "main window, a folder" "$build/bin/add_files" files
    sample "main window, every length" "$build/bin/add_files" --lengths files
    sample "find -printf" find files -type f -printf '%s %p\n'
    sample "find | file -b" sh -c 'find files -type f -print0 | xargs -0 file -b'
done
report "adding a folder to the main window, against find -printf" "main window, a folder" "find -printf"
report "adding a folder to the main window, against find | file -b" "main window, a folder" "find | file -b"
absolute "main window, a folder" 3
report "every length read, against find | file -b" "main window, every length" "find | file -b"
