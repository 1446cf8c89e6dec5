#!/usr/bin/env bash
# A re-run over a converted library: 20,000 WAV sources already converted to
# FLAC, 10 of them with new audio since. `zelph-convert --update` looks at
# every source and output and converts the 10 again; `rsync -a --dry-run`
# over the same tree (against a copy of it that differs in the same 10
# files) is the yardstick for looking at every file. The re-run must take at
# most 5 s of processor time beyond the 10 conversions, which are timed on
# their own (the same 10 files, the same settings, without --update).
# Usage: bench/update_bench.sh [build folder]   (BENCH_RUNS: runs per side, default 5)
set -euo pipefail
bench=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=bench/timing.sh
source "$bench/timing.sh" "${1:-$bench/../build}"
# The subject is looking at every file; the conversions' memory is the
# other benchmarks'.
bench_memory_target=
command -v rsync >/dev/null || { echo "rsync is needed" >&2; exit 1; }
export XDG_CONFIG_HOME=$bench_work/config  # no settings of the user's

cd "$bench_work"
sources=$(scaled 20000)
changed=10
sox -n -r 44100 -c 2 -b 16 a.wav synth 0.1 sine 440
sox -n -r 44100 -c 2 -b 16 b.wav synth 0.1 sine 660
# 100 sources a folder, as albums are.
for ((d = 0; d * 100 < sources; ++d)); do
    mkdir -p "lib/$d"
    seq -f "lib/$d/%g.wav" 1 $((sources - d * 100 < 100 ? sources - d * 100 : 100)) |
        xargs sh -c 'tee "$@" < a.wav > /dev/null' sh
done
echo "sources: $(find lib -type f | wc -l), $changed changed before each re-run"
mkdir out ten
run=(--quiet --target flac --output-dir out --keep-tree lib --update lib)
"$cli" "${run[@]}" >/dev/null 2>&1
cp -a lib mirror
mapfile -t victims < <(find lib -type f -name '*.wav' | sort | head -n "$changed")

# Each re-run meets 10 sources whose audio changed since the last one.
flip=b.wav
change() {
    for file in "${victims[@]}"; do cp "$flip" "$file"; done
    flip=$([ "$flip" = b.wav ] && echo a.wav || echo b.wav)
}
for _ in $(seq "$bench_runs"); do
    change
    sample "zelph-convert --update" "$cli" "${run[@]}"
    sample "rsync -a --dry-run" rsync -a --dry-run lib/ mirror/
    sample "the 10 conversions" "$cli" --quiet --target flac --output-dir ten --if-exists overwrite "${victims[@]}"
done
# The re-run did convert the 10 and nothing else.
change
"$cli" "${run[@]}" 2>/dev/null | grep -c '^Done' | grep -qx "$changed" || { echo "the re-run did not convert the $changed" >&2; exit 1; }

report "a re-run over $sources sources, $changed changed, against rsync -a --dry-run" \
    "zelph-convert --update" "rsync -a --dry-run"
beyond=$(awk -v all="$(cpu_of "zelph-convert --update")" -v ten="$(cpu_of "the 10 conversions")" \
    'BEGIN { printf "%.3f", all - ten }')
verdict=$(awk -v b="$beyond" 'BEGIN { print b <= 5 ? "met" : "MISSED" }')
echo "  beyond the 10 conversions (cpu $(cpu_of "the 10 conversions") s): cpu $beyond s <= 5 s: $verdict"
table_row "a re-run beyond its 10 conversions" "zelph-convert --update - the 10 conversions" "$beyond s" "" \
    "cpu <= 5 s: $verdict"
