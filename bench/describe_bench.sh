#!/usr/bin/env bash
# Describes 5,000 generated files of mixed formats with `zelph-convert
# --describe` and with `file -b`, whole processes over the same files in the
# same run, and prints the ratio (below 1.0: the probes are faster).
# Usage: bench/describe_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
bench_memory_target=  # not a conversion: no memory target

cd "$bench_work"
"$bench/mixed_files.sh" files "$(scaled 5000)"
mapfile -t list < <(printf '%s\n' files/*)

for _ in $(seq "$bench_runs"); do
    sample "zelph-convert --describe" "$cli" --describe "${list[@]}"
    sample "file -b" file -b "${list[@]}"
done
echo "files: ${#list[@]}"
report "file descriptions" "zelph-convert --describe" "file -b"
