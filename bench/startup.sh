#!/usr/bin/env bash
# Whole-process start-up of `chwr`: what a user waits for when a script or an editor
# plug-in calls the tool once per file. The in-process benchmarks measure the work;
# this measures what comes around it (loading libraries, static set-up).
#
#   bench/startup.sh [CHWR] [RUNS]
#
# CHWR defaults to build/release/src/cli/chwr, RUNS (odd, for a clean median) to 21.
# Prints, for each command, the median and fastest wall-clock time and the mean CPU
# time in milliseconds, and how many shared libraries the program loads.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
chwr=${1:-$here/../build/release/src/cli/chwr}
runs=${2:-21}
[[ -x $chwr ]] || { echo "no program at $chwr (build it first)" >&2; exit 1; }

# Outputs go to memory when the machine has a tmpfs: the build flushes what it
# writes to disk, and on a disk shared with other work that flush alone can take
# longer than everything else together.
work=$(mktemp -d -p "$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
trap 'rm -rf "$work"' EXIT

# The largest song the MLD format takes, as bench/largest_song.h makes it: four
# parts, each filling the 50,000-step limit with notes of 1 to 3 steps, now and then
# an octave or volume change, 30 notes a line. The octave is kept within 3..5 so
# that every note stays in range whatever the random numbers.
song=$work/largest.txt
awk -v limit=50000 '
  function part(seed,   text, steps, i, len, octave) {
    srand(seed)
    text = "O4"; octave = 4; steps = 0; i = 0
    split("C D E F G A B C+ F+ A+", notes, " ")
    while (steps < limit) {
      len = 1 + int(rand() * 3)
      if (len > limit - steps) len = limit - steps
      if (int(rand() * 50) == 0) {
        if ((rand() < 0.5 && octave < 5) || octave <= 3) { text = text "<"; octave++ }
        else { text = text ">"; octave-- }
      }
      if (int(rand() * 40) == 0) text = text "V" (20 + int(rand() * 40))
      text = text notes[1 + int(rand() * 10)] "*" len
      steps += len
      if (++i % 30 == 0) text = text "`"
    }
    return text
  }
  BEGIN {
    ORS = "\r\n"
    print "qrv"; print ""; print "@120"
    print "B"; print "B"; print "B"
    print "A"; print "A"; print "A"
    for (p = 0; p < 3; p++) print part(77 + p)
    print "0"; print ""; print " 1 "
    print "B"; print "A"; print part(80)
  }' > "$song"

# CPU seconds (user + system) of the children in the output of `times` in file $1.
children_cpu() {
  awk 'NR == 2 {
    total = 0
    for (f = 1; f <= 2; f++) { split($f, t, /[ms]/); total += t[1] * 60 + t[2] }
    printf "%.6f", total
  }' "$1"
}

# One command, run once to check it works, then timed `runs` times. Bash's own
# microsecond clock keeps the loop free of extra processes. Other work on a shared
# machine stretches the wall clock, so the CPU time (user + system, the mean of the
# runs) is given too.
time_it() {
  local name=$1; shift
  "$@" > /dev/null || { echo "$name failed: $*" >&2; exit 1; }
  local wall=() start end
  times > "$work/before"  # not in $(...): a subshell has no children yet
  for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    "$@" > /dev/null
    end=$EPOCHREALTIME
    wall+=($(( ${end/[.,]/} - ${start/[.,]/} )))
  done
  times > "$work/after"
  local sorted
  sorted=($(printf '%s\n' "${wall[@]}" | sort -n))
  awk -v name="$name" -v med="${sorted[$((runs / 2))]}" -v min="${sorted[0]}" -v runs="$runs" \
    -v cpu="$(awk -v a="$(children_cpu "$work/after")" -v b="$(children_cpu "$work/before")" 'BEGIN { print a - b }')" \
    'BEGIN { printf "%-26s wall median %6.2f ms, fastest %6.2f ms; cpu mean %6.2f ms (%d runs)\n",
                    name, med / 1000, min / 1000, cpu * 1000 / runs, runs }'
}

echo "program: $chwr"
echo "shared libraries: $(ldd "$chwr" | wc -l)"
time_it "chwr --help" "$chwr" --help
time_it "chwr build (largest song)" "$chwr" build "$song" --mld "$work/x.mld" --mid "$work/x.mid"
echo "largest song: $(tr -cd '*' < "$song" | wc -c) notes, $(wc -c < "$song") bytes of text," \
  "$(wc -c < "$work/x.mld") bytes of MLD, $(wc -c < "$work/x.mid") bytes of MIDI"
