#!/usr/bin/env bash
# Builds the libFuzzer targets of the core library with clang (ASan + UBSan) in build/fuzz and
# runs one of them, or each in turn, for SECONDS. Seeds come from tests/fuzz/corpus/TARGET,
# the demo song and, when the command-line tool is built, files it writes; the growing working
# corpus and any findings stay in build/fuzz/work/TARGET (outside the source tree).
# Exits non-zero when a target finds a crash, a hang or a broken property, and says where
# the input that shows it was saved.
# Usage: scripts/fuzz.sh TARGET|all SECONDS [LIBFUZZER-OPTION...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET|all SECONDS [LIBFUZZER-OPTION...]" >&2
  exit 2
fi
what=$1
seconds=$2
shift 2
targets=(song_file ini_file mld mld_decoder mail smf_timing compile_song smd smf_import score key_syntax)

source scripts/packages.sh
bash scripts/setup-deps.sh cmake ninja-build libicu-dev clang-19 libclang-rt-19-dev

build=build/fuzz
CC=clang-19 CXX=clang++-19 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCHWR_FUZZ=ON >/dev/null
cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}"

# Seeds that follow the program as it changes: the demo song and what chwr makes of it.
work=$build/work
generated=$work/generated
rm -rf "$generated"
mkdir -p "$generated"/{song_file,mld,mld_decoder,mail,smf_timing,smd,smf_import}
cp demo/demo.txt "$generated/song_file/demo.txt"
chwr=build/release/src/cli/chwr
if [ -x "$chwr" ]; then
  "$chwr" build demo/demo.txt --mld "$generated/mld/demo.mld" >/dev/null 2>&1 || true
  cp "$generated/mld/demo.mld" "$generated/mld_decoder/" 2>/dev/null || true
  "$chwr" build demo/demo.txt --mail >"$generated/mail/demo.txt" 2>/dev/null || true
  "$chwr" build demo/demo.txt --mid "$generated/smf_timing/demo.mid" >/dev/null 2>&1 || true
  "$chwr" build --reset-mid "$generated/smf_timing/reset.mid" >/dev/null 2>&1 || true
  "$chwr" build demo/demo.txt --smd "$generated/smd/demo.smd" >/dev/null 2>&1 || true
  # The import target reads two bytes of settings before the file: streaming, then absolute
  # with the octave, volumes and tones, all four parts.
  if [ -f "$generated/smf_timing/demo.mid" ]; then
    { printf '\x00\x0F'; cat "$generated/smf_timing/demo.mid"; } >"$generated/smf_import/demo.bin"
    { printf '\x0F\x0F'; cat "$generated/smf_timing/demo.mid"; } >"$generated/smf_import/demo_abs.bin"
  fi
fi

# Limits that keep single runs quick: a song part longer than a few kilobytes teaches the
# compiler nothing new, and anything slower than this is a hang to report.
options_for() {
  case $1 in
    compile_song | score | key_syntax) echo "-max_len=4096 -timeout=10" ;;
    ini_file) echo "-max_len=8192 -timeout=10" ;;
    *) echo "-max_len=16384 -timeout=10" ;;
  esac
}

run_target() {
  local target=$1
  shift
  local dir=$work/$target
  local corpus=$dir/corpus
  local findings=$dir/findings/
  mkdir -p "$corpus" "$findings"
  cp -n tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  cp -n "$generated/$target"/* "$corpus"/ 2>/dev/null || true
  local dict=()
  [ -f "tests/fuzz/$target.dict" ] && dict=(-dict="tests/fuzz/$target.dict")
  echo "== fuzz_$target for ${seconds}s (corpus $corpus) =="
  local before
  before=$(find "$findings" -type f | wc -l)
  local status=0
  # shellcheck disable=SC2046
  "$build/tests/fuzz/fuzz_$target" "$corpus" $(options_for "$target") "${dict[@]}" \
    -max_total_time="$seconds" -artifact_prefix="$findings" -print_final_stats=1 "$@" \
    >"$dir/last.log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$dir/last.log" || true
  local after
  after=$(find "$findings" -type f | wc -l)
  if [ "$after" -ne "$before" ]; then
    tail -n 60 "$dir/last.log" >&2
    echo "fuzz_$target: FINDING (exit $status). Inputs in $findings; full log $dir/last.log" >&2
    echo "Reproduce: $build/tests/fuzz/fuzz_$target FILE" >&2
    return 1
  elif [ "$status" -ne 0 ]; then
    tail -n 20 "$dir/last.log" >&2
    echo "fuzz_$target: failed to run (exit $status); full log $dir/last.log" >&2
    return 1
  fi
}

if [ "$what" = all ]; then
  selected=("${targets[@]}")
else
  found=0
  for t in "${targets[@]}"; do [ "$t" = "$what" ] && found=1; done
  if [ "$found" -eq 0 ]; then
    echo "unknown target '$what'; targets: ${targets[*]} all" >&2
    exit 2
  fi
  selected=("$what")
fi
failed=()
for t in "${selected[@]}"; do
  run_target "$t" "$@" || failed+=("$t")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Findings in: ${failed[*]}" >&2
  exit 1
fi
echo "No findings."
