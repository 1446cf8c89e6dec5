#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: install missing Debian packages, then
# configure and build. Usage: scripts/setup.sh BUILD_DIR [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$1; shift

missing=()
while read -r pkg; do
  [[ -z $pkg || $pkg == \#* ]] && continue
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$pkg")
done < "$root/scripts/packages.txt"

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q >&2
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi

cmake -S "$root" -B "$build_dir" -G Ninja "$@" >&2
cmake --build "$build_dir" >&2
