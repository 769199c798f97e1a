#!/usr/bin/env bash
# Retakes docs/screenshot.png: the editor with the demo song, under a virtual X server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup-deps.sh xvfb imagemagick
cmake --build --preset release --target chimewright
display=:97
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
settings=$(mktemp -d)
DISPLAY=$display XDG_CONFIG_HOME=$settings build/release/src/gui/chimewright demo/demo.txt &
app=$!
sleep 3
# The window is 720 x 560 and centred on the 1024 x 768 screen.
DISPLAY=$display import -window root -crop 720x560+152+104 +repage docs/screenshot.png
kill $app
rm -rf "$settings"
echo "docs/screenshot.png written"
