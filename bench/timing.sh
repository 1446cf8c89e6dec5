# shellcheck shell=bash
# Sourced by the benchmark scripts: the cost of whole processes, the median
# of several runs and the ratio of two sides.
#
# A cost is the processor time (user + system) of a command and every child
# it waited for, with its wall time beside it. Processor time is the main
# figure: the machine is shared, and wall time also counts the other users'
# work. Sides are sampled in turn (ours, peer, ours, ...) so that a change
# in the machine's load falls on both.

# The build folder is the first argument; `cli` is its zelph-convert.
build=$(cd "$1" && pwd)
cli=$build/bin/zelph-convert
[ -x "$cli" ] || { echo "build $cli first" >&2; exit 1; }

bench_runs=${BENCH_RUNS:-5}
# BENCH_SCALE shrinks every input (its length, its file count) by that
# factor: bench/all.sh's quick mode uses it to check the scripts end to end.
bench_scale=${BENCH_SCALE:-1}
# scaled N: N times the scale, a whole number of at least 1.
scaled() { awk -v n="$1" -v s="$bench_scale" 'BEGIN { v = int(n * s); print v < 1 ? 1 : v }'; }
# A music-like stereo WAV, tones over quiet noise, so no coder finds it
# trivial: music_wav FILE RATE BITS SECONDS [EFFECT...] (effects before the
# final volume).
music_wav() {
    local file=$1 rate=$2 bits=$3 seconds=$4
    shift 4
    sox -n -r "$rate" -c 2 -b "$bits" "$file" synth "$seconds" sine 220 sine 330 synth pinknoise mix "$@" vol 0.5
}
# The most memory a conversion of ours may hold, in MiB; scripts whose
# subject is not a conversion (the main window, --describe) clear it.
bench_memory_target=16
# Every script works in this folder, removed on any way out.
bench_work=$(mktemp -d -t zelph-bench.XXXXXX)
trap 'rm -rf "$bench_work"' EXIT
bench_times=$bench_work/.times
declare -A bench_cpu bench_user bench_wall bench_peak

# sample NAME COMMAND...: runs COMMAND once, its output discarded, and adds
# its cost to NAME's samples: processor and wall time, and the peak memory
# (the largest resident size of the process or of any child it waited for,
# in KiB). A failed command ends the benchmark: a side that did not do its
# work has no time worth comparing.
sample() {
    local name=$1 user system wall peak
    shift
    if ! /usr/bin/time -f '%U %S %e %M' -o "$bench_times" "$@" >/dev/null 2>&1; then
        echo "failed: $*" >&2
        exit 1
    fi
    read -r user system wall peak < <(tail -n 1 "$bench_times")
    bench_cpu[$name]+="$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }') "
    bench_user[$name]+="$user "
    bench_wall[$name]+="$wall "
    bench_peak[$name]+="$peak "
}

# median_of "V V V ...": the middle value (the mean of the middle two for an even count).
median_of() {
    tr ' ' '\n' <<<"$1" | grep . | sort -g |
        awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

cpu_of() { median_of "${bench_cpu[$1]}"; }
user_of() { median_of "${bench_user[$1]}"; }
wall_of() { median_of "${bench_wall[$1]}"; }
# The largest peak of all runs, in MiB: a limit holds only if every run kept to it.
peak_of() { tr ' ' '\n' <<<"${bench_peak[$1]}" | grep . | sort -g | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'; }
load_average() { cut -d ' ' -f 1-3 /proc/loadavg; }

# table_row LABEL SIDES CPU-RATIO WALL-RATIO VERDICT: one row of bench/all.sh's
# table, when it asks for them (BENCH_TABLE names the file), with the
# script's name first and the load average last.
table_row() {
    [ -n "${BENCH_TABLE:-}" ] || return 0
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "${0##*/}" "$1" "$2" "$3" "$4" "$5" "$(load_average)" >>"$BENCH_TABLE"
}

# report LABEL OURS PEER [cpu|wall TARGET]: both sides' medians, the cores
# each kept busy on average (processor / wall time), their peak memory and
# the ratios ours / peer, processor time first; with a target, the ratio it
# names is judged against it, and our peak memory against
# bench_memory_target when it is set. The machine's load average is printed
# with it: a wall time taken while other work fills the cores says how much
# of them the scheduler gave, not how many the program could use.
report() {
    local label=$1 ours=$2 peer=$3 judged=${4:-} target=${5:-} cpu wall verdict
    awk -v row="$bench_work/.row" -v label="$label" -v oc="$(cpu_of "$ours")" -v ow="$(wall_of "$ours")" -v on="$ours" \
        -v pc="$(cpu_of "$peer")" -v pw="$(wall_of "$peer")" -v pn="$peer" \
        -v om="$(peak_of "$ours")" -v pm="$(peak_of "$peer")" -v memory="$bench_memory_target" \
        -v judged="$judged" -v target="$target" -v runs="$bench_runs" -v load="$(load_average)" 'BEGIN {
        cpu = pc > 0 ? oc / pc : 0
        wall = pw > 0 ? ow / pw : 0
        printf "%s  (load average %s)\n", label, load
        printf "  %-32s cpu %8.3f s   wall %8.3f s   cores busy %.2f   peak %6.1f MiB\n", on, oc, ow,
               (ow > 0 ? oc / ow : 0), om
        printf "  %-32s cpu %8.3f s   wall %8.3f s   cores busy %.2f   peak %6.1f MiB\n", pn, pc, pw,
               (pw > 0 ? pc / pw : 0), pm
        printf "  ratio  cpu %.3f   wall %.3f   (medians of %d runs)", cpu, wall, runs
        verdict = ""
        if (judged != "") {
            ratio = judged == "wall" ? wall : cpu
            verdict = sprintf("%s <= %s: %s", judged, target, ratio <= target ? "met" : "MISSED")
            printf "   target: %s ratio %s", judged, verdict
        }
        if (memory != "") {
            printf "   peak <= %s MiB: %s", memory, om <= memory ? "met" : "MISSED"
            verdict = verdict (verdict != "" ? "; " : "") sprintf("peak %.1f MiB <= %s: %s", om, memory,
                                                                 om <= memory ? "met" : "MISSED")
        }
        printf "\n"
        printf "%.3f\t%.3f\t%s\n", cpu, wall, verdict > row
    }'
    IFS=$'\t' read -r cpu wall verdict <"$bench_work/.row"
    table_row "$label" "$ours / $peer" "$cpu" "$wall" "$verdict"
}
