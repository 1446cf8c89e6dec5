#!/usr/bin/env bash
# Counts the lines of C and C++ that git tracks and prints "tests/code = N/M = R".
# A line counts unless it is blank or starts with //. Test lines are those
# under tests/ and every fuzz harness (fuzz/, any */fuzz/); code lines are all
# other C/C++ files except bench/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
count() { xargs -r -d '\n' cat -- | grep -c -v -E '^[[:space:]]*($|//)' || true; }
sources=$(git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp')
tests=$(grep -E '^(tests|fuzz)/|/fuzz/' <<<"$sources" | count)
code=$(grep -v -E '^(tests|fuzz|bench)/|/fuzz/' <<<"$sources" | count)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests/code = %d/%d = %.2f\n", t, c, t / c }'
