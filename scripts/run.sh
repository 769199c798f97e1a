#!/usr/bin/env bash
# Sets up and builds Chimewright, then runs it. With no arguments it compiles the
# bundled demo song and prints its events; otherwise the arguments go to `chwr`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/packages.sh
bash scripts/setup-deps.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
cmake --preset release >/dev/null
cmake --build --preset release --target chwr
if [ $# -eq 0 ]; then
  exec build/release/src/cli/chwr compile demo/demo.txt
fi
exec build/release/src/cli/chwr "$@"
