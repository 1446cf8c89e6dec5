#!/usr/bin/env bash
# Takes the main window's pictures for the README: starts it on a virtual
# 1366 x 768 display with a few generated files named on its command line,
# at 100 % (docs/screenshots/main-window.png) and at 200 % scaling
# (docs/screenshots/main-window-200.png), and photographs the window.
# Usage: xvfb-run -a -s "-screen 0 1366x768x24" scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$root/build}")
work=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/Music"
cd "$work/Music"

sox -n -r 44100 -c 2 -b 16 "Morning Tone.wav" synth 6 sine 440 2>/dev/null
sox -n -r 22050 -c 1 -b 8 "voice memo.wav" synth 3 sine 300 2>/dev/null
lame -S --preset cbr 192 "Morning Tone.wav" "Morning Tone.mp3"
lame -S -V 2 "Morning Tone.wav" "Evening Tone.mp3"
oggenc -Q -q 5 "Morning Tone.wav" -o "Night Tone.ogg"

shoot() {
    local scale=$1 picture=$2
    QT_SCALE_FACTOR=$scale "$build/bin/zelph" ./*.wav ./*.mp3 ./*.ogg & pid=$!
    until xdotool search --name "Zelph Audio Converter" >/dev/null 2>&1; do sleep 0.2; done
    sleep 1.5
    import -window "$(xdotool search --name "Zelph Audio Converter" | head -1)" "$picture"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=
}
shoot 1 "$root/docs/screenshots/main-window.png"
shoot 2 "$root/docs/screenshots/main-window-200.png"
