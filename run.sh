#!/usr/bin/env bash
# Installs what is missing, builds, and starts the converter's main window.
# Arguments go to Qt (for example -platform offscreen or -style fusion); the
# command-line converter is build/bin/zelph-convert.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/scripts/setup.sh" "$root/build"
exec "$root/build/bin/zelph" "$@"
