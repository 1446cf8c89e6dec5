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
# Every script works in this folder, removed on any way out.
bench_work=$(mktemp -d -t zelph-bench.XXXXXX)
trap 'rm -rf "$bench_work"' EXIT
bench_times=$bench_work/.times
declare -A bench_cpu bench_user bench_wall

# sample NAME COMMAND...: runs COMMAND once, its output discarded, and adds
# its cost to NAME's samples. A failed command ends the benchmark: a side
# that did not do its work has no time worth comparing.
sample() {
    local name=$1 user system wall
    shift
    if ! /usr/bin/time -f '%U %S %e' -o "$bench_times" "$@" >/dev/null 2>&1; then
        echo "failed: $*" >&2
        exit 1
    fi
    read -r user system wall < <(tail -n 1 "$bench_times")
    bench_cpu[$name]+="$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }') "
    bench_user[$name]+="$user "
    bench_wall[$name]+="$wall "
}

# median_of "V V V ...": the middle value (the mean of the middle two for an even count).
median_of() {
    tr ' ' '\n' <<<"$1" | grep . | sort -g |
        awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

cpu_of() { median_of "${bench_cpu[$1]}"; }
user_of() { median_of "${bench_user[$1]}"; }
wall_of() { median_of "${bench_wall[$1]}"; }

# report LABEL OURS PEER [cpu|wall TARGET]: both sides' medians, the cores
# each kept busy on average (processor / wall time) and the ratios ours /
# peer, processor time first; with a target, the ratio it names is judged
# against it. The machine's load average is printed with it: a wall time
# taken while other work fills the cores says how much of them the
# scheduler gave, not how many the program could use.
report() {
    local label=$1 ours=$2 peer=$3 judged=${4:-} target=${5:-}
    awk -v label="$label" -v oc="$(cpu_of "$ours")" -v ow="$(wall_of "$ours")" -v on="$ours" \
        -v pc="$(cpu_of "$peer")" -v pw="$(wall_of "$peer")" -v pn="$peer" \
        -v judged="$judged" -v target="$target" -v runs="$bench_runs" \
        -v load="$(cut -d ' ' -f 1-3 /proc/loadavg)" 'BEGIN {
        cpu = pc > 0 ? oc / pc : 0
        wall = pw > 0 ? ow / pw : 0
        printf "%s  (load average %s)\n", label, load
        printf "  %-32s cpu %8.3f s   wall %8.3f s   cores busy %.2f\n", on, oc, ow, (ow > 0 ? oc / ow : 0)
        printf "  %-32s cpu %8.3f s   wall %8.3f s   cores busy %.2f\n", pn, pc, pw, (pw > 0 ? pc / pw : 0)
        printf "  ratio  cpu %.3f   wall %.3f   (medians of %d runs)", cpu, wall, runs
        if (judged != "") {
            ratio = judged == "wall" ? wall : cpu
            printf "   target: %s ratio <= %s, %s", judged, target, ratio <= target ? "met" : "MISSED"
        }
        printf "\n"
    }'
}
