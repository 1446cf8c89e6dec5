#!/usr/bin/env bash
# Installs what is missing, builds, and runs the suite on the plain build.
# With --full (what CI runs) it then builds the same suite with
# AddressSanitizer and UndefinedBehaviorSanitizer (any report ends its test
# with a failure) and, where clang is installed, runs every fuzzer briefly.
# A failed build stops at once; failed tests are counted and every stage
# still runs, so one run shows them all. The status is 0 only when everything
# passed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
jobs=$(nproc)
failed=0
full=0
case "${1:-}" in
  --full) full=1 ;;
  "") ;;
  *) echo "usage: ./test.sh [--full]" >&2; exit 2 ;;
esac

"$root/scripts/setup.sh" "$root/build"
(cd "$root/build" && ctest --output-on-failure -j "$jobs") || failed=1
((full)) || exit "$failed"

# The install checks install and package the plain build; they are not run
# again on the instrumented one.
"$root/scripts/setup.sh" "$root/build-asan" -DZELPH_SANITIZE=ON
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs" -E '^install_') || failed=1

if command -v clang++ >/dev/null; then
  # Only the fuzzers and what they load are built here; the plain and
  # sanitizer builds above already cover the rest with the same sources.
  CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DZELPH_FUZZ=ON >&2
  cmake --build "$root/build-fuzz" --target zelph_fuzzers >&2
  (cd "$root/build-fuzz" && ctest --output-on-failure -j "$jobs" -R fuzz) || failed=1
fi
exit "$failed"
