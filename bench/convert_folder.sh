#!/usr/bin/env bash
# `chwr convert` over a folder of 1,000 ring tones: the wall-clock time and the CPU time
# of the run, and from them how many cores the conversion kept busy (about 2 on two
# cores when the work is spread over all of them).
#
#   bench/convert_folder.sh [CHWR] [FILES]
#
# CHWR defaults to build/release/src/cli/chwr, FILES to 1000. The files are this program's
# demo song built once, then rewritten in another program's layout (a "note" chunk and
# 4-byte notes), so every file goes through the decoder and the MIDI writer.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
chwr=${1:-$here/../build/release/src/cli/chwr}
files=${2:-1000}
[[ -x $chwr ]] || { echo "no program at $chwr (build it first)" >&2; exit 1; }
work=$(mktemp -d -p "$( [[ -d /dev/shm && -w /dev/shm ]] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
trap 'rm -rf "$work"' EXIT

"$chwr" build "$here/../demo/demo.txt" --mld "$work/demo.mld" >/dev/null
# The demo's image with 4-byte notes: walk its one track and widen every 3-byte note.
python3 - "$work/demo.mld" "$work/tone.mld" <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read()
h = struct.unpack('>H', b[8:10])[0]
info, data = b[13:10 + h], b[10 + h:]
events = data[8:8 + struct.unpack('>I', data[4:8])[0]]
out, i = bytearray(), 0
while i + 2 < len(events):
    if events[i + 1] == 0xFF:
        x = events[i + 2]
        n = 4 if x < 0xF0 else 5 + struct.unpack('>H', events[i + 3:i + 5])[0]
        out += events[i:i + n]
    else:
        n = 3
        out += events[i:i + 3] + b'\xfc'
    i += n
head = bytes([1, 1, 1]) + info + b'note' + struct.pack('>H', 2) + b'\x00\x01'
rest = struct.pack('>H', len(head)) + head + b'trac' + struct.pack('>I', len(out)) + bytes(out)
open(sys.argv[2], 'wb').write(b'melo' + struct.pack('>I', len(rest)) + rest)
PY
mkdir -p "$work/in"
for ((i = 0; i < files; i++)); do cp "$work/tone.mld" "$work/in/$i.mld"; done

times > "$work/before"
start=$EPOCHREALTIME
"$chwr" convert "$work/in" -d "$work/out" 2>/dev/null
end=$EPOCHREALTIME
times > "$work/after"
cpu() { awk 'NR == 2 { t = 0; for (f = 1; f <= 2; f++) { split($f, a, /[ms]/); t += a[1] * 60 + a[2] } printf "%.3f", t }' "$1"; }
wall=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')
used=$(awk -v a="$(cpu "$work/after")" -v b="$(cpu "$work/before")" 'BEGIN { printf "%.3f", a - b }')
written=$(find "$work/out" -name '*.mid' | wc -l)
awk -v w="$wall" -v c="$used" -v n="$written" -v cores="$(nproc)" 'BEGIN {
  printf "converted %d files: wall %.3f s, cpu %.3f s, %.2f cores busy of %d\n", n, w, c, c / w, cores }'
