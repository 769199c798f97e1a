#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal build, then a
# build under AddressSanitizer and UndefinedBehaviorSanitizer; then a few seconds of
# each fuzz target, and 20 seconds of random input at the sanitized editor
# (scripts/monkey.sh, fixed seed). Any failure or sanitizer finding fails the run.
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
echo "== fuzz targets (5 s each) =="
bash scripts/fuzz.sh all 5
echo "== monkey (20 s of random input, seed 3) =="
scripts/monkey.sh 20 3
echo "All tests passed."
