#!/usr/bin/env bash
# Sets up and builds Chimewright, then starts the editor, opening FILE when given.
# Without a display it builds the song instead (the demo, or FILE) to an MLD and a MIDI
# file and renders a WAV beside them in build/output/, printing the size report and where
# each file went. Arguments that start with a chwr command go to chwr as they are.
# Usage: scripts/run.sh [FILE]   |   scripts/run.sh COMMAND [ARGS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/packages.sh
bash scripts/setup-deps.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake --preset release >/dev/null
cmake --build --preset release --target chimewright chwr
chwr=build/release/src/cli/chwr
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
  exec build/release/src/gui/chimewright "$@"
fi
case "${1:-}" in
  compile|build|open|dump|play|render|--help|--help-all|--version) exec "$chwr" "$@" ;;
esac
echo "No display to show the editor on; building the song with the command-line tool instead." >&2
song=${1:-demo/demo.txt}
name=$(basename "$song")
name=${name%.*}
out=build/output
mkdir -p "$out"
"$chwr" build "$song" --mld "$out/$name.mld" --mid "$out/$name.mid"
"$chwr" render "$song" -o "$out/$name.wav"
echo "MLD file:  $out/$name.mld"
echo "MIDI file: $out/$name.mid"
echo "WAV file:  $out/$name.wav"
