#!/usr/bin/env bash
# Sets up and builds Chimewright, then starts the editor, opening FILE when given.
# Usage: scripts/run.sh [FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/packages.sh
bash scripts/setup-deps.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake --preset release >/dev/null
cmake --build --preset release --target chimewright chwr
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display to show the editor on. The command-line tool works without one:" >&2
  echo "  build/release/src/cli/chwr compile demo/demo.txt" >&2
  exit 1
fi
exec build/release/src/gui/chimewright "$@"
