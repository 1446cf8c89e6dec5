#!/usr/bin/env bash
# Takes docs/screenshots/main-window.png: starts the main window on a virtual
# display, adds a few generated files through "Add File" as a user would,
# and photographs the screen.
# Usage: scripts/screenshot.sh [BUILD_DIR]   (run under xvfb-run -a -s "-screen 0 1024x600x24")
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath "${1:-$root/build}")
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/Music"
cd "$work/Music"

sox -n -r 44100 -c 2 -b 16 "Morning Tone.wav" synth 6 sine 440 2>/dev/null
sox -n -r 22050 -c 1 -b 8 "voice memo.wav" synth 3 sine 300 2>/dev/null
lame -S --preset cbr 192 "Morning Tone.wav" "Morning Tone.mp3"
lame -S -V 2 "Morning Tone.wav" "Evening Tone.mp3"
oggenc -Q -q 5 "Morning Tone.wav" -o "Night Tone.ogg"

"$build/bin/zelph" & pid=$!
until xdotool search --name "Zelph Audio Converter" >/dev/null 2>&1; do sleep 0.2; done
sleep 1
xdotool key alt+f Return
until xdotool search --name "File\(s\) To Load" >/dev/null 2>&1; do sleep 0.2; done
sleep 1
# Every music file in the folder: a click into the file view, select all, open.
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --name "File\(s\) To Load" | head -1)")"
xdotool mousemove $((X + 200)) $((Y + 75)) click 1
xdotool key ctrl+a alt+o
sleep 2
import -window root "$root/docs/screenshots/main-window.png"
