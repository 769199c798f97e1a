#!/usr/bin/env bash
# Retakes the screenshots of the editor with the demo song, under a virtual X server with
# a window manager, so the caption shows as a desktop shows it. The song opens from the
# plain folder /tmp/songs, so the caption shows no one's working copy:
#   docs/screenshot.png         the window and its frame at scale 1 on a 1024 x 768 screen;
#   docs/screenshot-scale2.png  the whole 1920 x 1080 screen at a display scale of 2, to see
#                               the window fit it;
#   docs/score-editor.png       the score editor "楽譜入力" opened on the demo's first part.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup-deps.sh xvfb imagemagick openbox x11-utils xdotool
cmake --build --preset release --target chimewright
display=:97
pids=()
settings=$(mktemp -d)
songs=/tmp/songs
song=$songs/demo.txt
if [ -e "$song" ] && ! cmp -s demo/demo.txt "$song"; then
  echo "$song is there and is not the demo: move it away first" >&2
  exit 1
fi
made_songs=false
[ -d "$songs" ] || made_songs=true
mkdir -p "$songs"
cp demo/demo.txt "$song"
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$settings"
  rm -f "$song"
  if $made_songs; then rmdir "$songs" 2>/dev/null || true; fi
}
trap cleanup EXIT

# shoot SCREEN SCALE OUTPUT WHAT: WHAT is "window" (the window and its frame), "screen", or
# "score" (the score editor, opened from the menu 機能 → 楽譜入力, and its frame).
shoot() {
  local screen=$1 scale=$2 output=$3 what=$4
  Xvfb "$display" -screen 0 "${screen}x24" >/dev/null 2>&1 &
  local xvfb=$!
  pids+=("$xvfb")
  sleep 1
  DISPLAY=$display openbox --sm-disable >/dev/null 2>&1 &
  local wm=$!
  pids+=("$wm")
  sleep 1
  rm -rf "${settings:?}"/*
  DISPLAY=$display XDG_CONFIG_HOME=$settings QT_SCALE_FACTOR=$scale \
    build/release/src/gui/chimewright "$song" &
  local app=$!
  pids+=("$app")
  sleep 3
  local id
  id=$(DISPLAY=$display xdotool search --name "Chimewright Ver1.21" | head -n 1)
  local caption
  caption=$(DISPLAY=$display xdotool getwindowname "$id")
  echo "scale $scale: caption \"$caption\""
  if [ "$caption" != "$song - Chimewright Ver1.21" ]; then
    echo "the caption is not the plain song's: not taken" >&2
    exit 1
  fi
  DISPLAY=$display xwininfo -id "$id" | grep -E "Absolute|Width|Height" | sed 's/^ */  /'
  if [ "$what" = score ]; then
    DISPLAY=$display xdotool windowactivate --sync "$id" key alt+s
    sleep 0.5
    DISPLAY=$display xdotool key s
    sleep 2
    local score
    score=$(DISPLAY=$display xdotool search --name '^楽譜入力$' | head -n 1)
    if [ -z "$score" ]; then
      echo "the score editor did not open: not taken" >&2
      exit 1
    fi
    DISPLAY=$display import -frame -window "$score" "$output"
  elif [ "$what" = window ]; then
    DISPLAY=$display import -frame -window "$id" "$output"
  else
    DISPLAY=$display import -window root "$output"
  fi
  kill "$app" "$wm" "$xvfb" 2>/dev/null || true
  wait "$app" "$wm" "$xvfb" 2>/dev/null || true
  echo "$output written"
}

shoot 1024x768 1 docs/screenshot.png window
shoot 1920x1080 2 docs/screenshot-scale2.png screen
shoot 1024x768 1 docs/score-editor.png score
