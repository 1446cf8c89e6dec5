#!/usr/bin/env bash
# Every benchmark in one run on one machine, and the table of their figures
# written into docs/BENCHMARKS.md (between its two table marks), with the
# date, the processors and the load average before and after, so that every
# figure in the table comes from the same run.
# Usage: bench/all.sh [--quick] [build folder] [document]
#   --quick: one run per side on inputs a fiftieth of the size, to check the
#   scripts end to end; its figures mean nothing, so it writes a scratch copy
#   of the document (its path is printed) unless one is named.
#   BENCH_RUNS sets the runs per side (default 5), BENCH_SCALE the inputs'
#   size (default 1: the lengths the table's labels name). Every script's own
#   output goes to standard output.
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
quick=
if [ "${1:-}" = --quick ]; then
    quick=1
    shift
    export BENCH_RUNS=1 BENCH_SCALE=0.02
fi
build=$(cd "${1:-$bench/../build}" && pwd)
document=${2:-}
if [ -z "$document" ]; then
    document=$bench/../docs/BENCHMARKS.md
    if [ -n "$quick" ]; then
        scratch=$(mktemp -t zelph-benchmarks.XXXXXX.md)
        cp "$document" "$scratch"
        document=$scratch
    fi
fi
grep -q '^<!-- bench/all.sh table -->$' "$document" && grep -q '^<!-- end of the table -->$' "$document" ||
    { echo "$document has no table marks" >&2; exit 1; }

rows=$(mktemp -t zelph-bench-rows.XXXXXX)
trap 'rm -f "$rows"' EXIT
export BENCH_TABLE=$rows
load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')

for script in ogg_batch_bench batch_bench wav_pcm_bench mp3enc_bench vorbismad_bench sources_bench targets_bench wavpack_bench \
    ape_bench verify_bench loudness_bench describe_bench add_files_bench folders_bench update_bench; do
    echo "== $script (load average $(cut -d ' ' -f 1-3 /proc/loadavg))"
    "$bench/$script.sh" "$build"
done
# The tag benchmark is a program of its own; its figures stay in this log.
echo "== tags_bench (load average $(cut -d ' ' -f 1-3 /proc/loadavg))"
"$build/bin/tags_bench" "${BENCH_RUNS:-5}"
load_after=$(cut -d ' ' -f 1-3 /proc/loadavg)

table=$(mktemp -t zelph-bench-table.XXXXXX)
trap 'rm -f "$rows" "$table"' EXIT
{
    echo "Taken by \`bench/all.sh\`${quick:+ --quick (inputs a fiftieth of the size: the figures mean nothing)} from" \
        "$started on $(nproc) processors ($(grep -m 1 'model name' /proc/cpuinfo | cut -d : -f 2 | sed 's/^ *//'))" \
        "with ${BENCH_RUNS:-5} runs per side${BENCH_SCALE:+ on inputs scaled by $BENCH_SCALE (BENCH_SCALE)};" \
        "load average $load_before before, $load_after after."
    echo
    echo "| script | benchmark | ours / peer | processor time | wall time | target | load average |"
    echo "| --- | --- | --- | --- | --- | --- | --- |"
    # A pipe in a label (`mpg123 | oggenc`) would end its cell.
    awk -F '\t' '{ gsub(/\|/, "\\|"); printf "| `%s` | %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6, $7 }' \
        "$rows"
} >"$table"
awk -v table="$table" '
    $0 == "<!-- bench/all.sh table -->" { print; while ((getline line < table) > 0) print line; skipping = 1; next }
    $0 == "<!-- end of the table -->" { skipping = 0 }
    !skipping' "$document" >"$document.new"
mv "$document.new" "$document"
echo "the table is in $document"
