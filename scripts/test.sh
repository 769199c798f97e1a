#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal build, then a
# build under AddressSanitizer and UndefinedBehaviorSanitizer, then a few seconds of
# each fuzz target. Any failure or sanitizer finding fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/packages.sh
bash scripts/setup-deps.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
jobs=$(nproc)
for preset in release asan; do
  echo "== $preset build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset tests =="
  ctest --preset "$preset" -j "$jobs"
done
bash scripts/fuzz.sh all 5
echo "All tests passed."
