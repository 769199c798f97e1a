#!/usr/bin/env bash
# Sets up and builds Chimewright, then starts the editor, opening FILE when given.
# Without a display it runs the command-line tool instead: on the demo song, or with
# the arguments given.
# Usage: scripts/run.sh [FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/packages.sh
bash scripts/setup-deps.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake --preset release >/dev/null
cmake --build --preset release --target chimewright chwr
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display to show the editor on; running the command-line tool instead." >&2
  if [ $# -eq 0 ]; then
    exec build/release/src/cli/chwr compile demo/demo.txt
  fi
  exec build/release/src/cli/chwr "$@"
fi
exec build/release/src/gui/chimewright "$@"
