#!/usr/bin/env bash
# Describes 5,000 generated files of mixed formats with the converter's probes
# and with `file -b`, over the same files in the same run, and prints the
# ratio of the two times (below 1.0: the probes are faster).
# Usage: bench/describe_bench.sh [BUILD_DIR]
set -euo pipefail
shopt -s inherit_errexit
bench=$(realpath "$(dirname "${BASH_SOURCE[0]}")")
build=$(realpath "${1:-$bench/../build}")
describe=("$build/bin/describe_files")
if "$build/bin/zelph-convert" --help 2>/dev/null | grep -q -- --describe; then
  describe=("$build/bin/zelph-convert" --describe)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$bench/mixed_files.sh" files 5000
mapfile -t list < <(printf '%s\n' files/*)

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null || { echo "failed: $1" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
best() { local t b=; for _ in 1 2 3; do t=$(seconds "$@"); if [[ -z $b ]] || (($(echo "$t < $b" | bc))); then b=$t; fi; done; echo "$b"; }

ours=$(best "${describe[@]}" "${list[@]}")
peer=$(best file -b "${list[@]}")
echo "files: ${#list[@]}"
echo "describe: ${ours}s  (${describe[*]##*/})"
echo "file -b:  ${peer}s"
echo "ratio: $(echo "scale=3; $ours / $peer" | bc)"
