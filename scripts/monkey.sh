#!/usr/bin/env bash
# Random-input soak test of the editor: runs the AddressSanitizer build of chimewright
# on a copy of the demo song under a private X server and, for SECONDS, throws random
# keys, menu keys, clicks and drags at it, all drawn from SEED; once the score editor is
# open (its menu key and tool-bar button are among them), half the actions go to it. Fails (non-zero) on a
# crash, a hang (the window stops answering pings), a dialog that will not close or
# any sanitizer report, printing the seed, the last actions and the report; prints a
# one-line summary otherwise.
# The logs stay in build/monkey/ (a failed run's under its seed, the last pass's in
# last-pass/). Nothing outside a scratch folder is touched; it is removed at the end.
# Usage: scripts/monkey.sh SECONDS [SEED]
#   MONKEY_PING_TIMEOUT   seconds the window may take to answer (default 10)
#   MONKEY_STARTUP_TIMEOUT  seconds the window may take to appear (default 60)
set -uo pipefail

# The whole script is one block, read before it runs: editing or checking out another
# version of this file during a long run cannot change the run.
{
usage() {
  echo "usage: scripts/monkey.sh SECONDS [SEED]" >&2
  exit 2
}
[ $# -ge 1 ] && [ $# -le 2 ] || usage
duration=$1
seed=${2:-1}
[[ $duration =~ ^[1-9][0-9]*$ ]] || usage
[[ $seed =~ ^[0-9]+$ ]] || usage
ping_timeout=${MONKEY_PING_TIMEOUT:-10}
startup_timeout=${MONKEY_STARTUP_TIMEOUT:-60}

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 2
source scripts/packages.sh
bash scripts/setup-deps.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}" || exit 2
if [ ! -f build/asan/build.ninja ]; then
  cmake --preset asan >/dev/null || exit 2
fi
cmake --build --preset asan -j "$(nproc)" --target chimewright || {
  echo "monkey: the asan build of chimewright failed" >&2
  exit 2
}
editor="$root/build/asan/src/gui/chimewright"
# A chwr.ini beside the program would take the place of the scratch settings.
if [ -e "$(dirname "$editor")/chwr.ini" ]; then
  echo "monkey: $(dirname "$editor")/chwr.ini exists; remove it so the run uses scratch settings" >&2
  exit 2
fi

# ---------------------------------------------------------------- clean-up
tmp=$(mktemp -d -t chwr-monkey.XXXXXX)
app=""
xvfb=""
cleanup() {
  if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then
    kill -KILL "$app" 2>/dev/null
    wait "$app" 2>/dev/null
  fi
  if [ -n "$xvfb" ] && kill -0 "$xvfb" 2>/dev/null; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'echo "monkey: interrupted" >&2; exit 130' INT
trap 'exit 143' TERM HUP

mkdir -p "$tmp/home" "$tmp/config" "$tmp/cache" "$tmp/runtime" "$tmp/song" "$tmp/bin" "$tmp/logs"
chmod 700 "$tmp/runtime"
cp demo/demo.txt "$tmp/song/demo.txt"
# Help and support pages open in a browser; in here they only leave a line.
printf '#!/bin/sh\necho "$*" >> "%s/logs/opened-urls.txt"\n' "$tmp" > "$tmp/bin/xdg-open"
chmod +x "$tmp/bin/xdg-open"
# With no ALSA devices and no sound server, playback fails with a message box and
# stays silent; a null ALSA device would let FluidSynth's thread spin a whole core.
: > "$tmp/asound.conf"

# A small X client for what xdotool cannot do (ping, close, dialogs): see scripts/xwin.c.
cc -O2 -o "$tmp/xwin" scripts/xwin.c -lX11 || exit 2

# ---------------------------------------------------------------- X server
display=""
for n in $(seq 90 140); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$tmp/logs/xvfb.txt" 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    kill -0 "$xvfb" 2>/dev/null || break
    if DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
      display=":$n"
      break
    fi
    sleep 0.1
  done
  # Another server may have taken the number between the check and the start.
  if [ -n "$display" ] && kill -0 "$xvfb" 2>/dev/null; then break; fi
  display=""
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  xvfb=""
done
if [ -z "$display" ]; then
  echo "monkey: could not start Xvfb on any display from :90 to :140" >&2
  exit 2
fi
export DISPLAY=$display

# ---------------------------------------------------------------- the editor
log="$tmp/logs/actions.txt"
: > "$log"
actions=0
restarts=0
dismissed=0
closing=""
win=""
wx=0 wy=0 ww=0 wh=0
score_win=""  # the score editor "楽譜入力" while it shows
target=""     # the window the last action was for: it keeps the keyboard
sx=0 sy=0 sw=0 sh=0
elapsed=0.000

clock_ms() { # milliseconds since the epoch into $ms (EPOCHREALTIME's separator follows the locale)
  local t=${EPOCHREALTIME//[!0-9]/}
  ms=$((10#$t / 1000))
}
clock_ms
start_ms=$ms
note() { # appends a line to the action log, stamped with the seconds since the start
  clock_ms
  local t=$((ms - start_ms))
  printf -v elapsed '%d.%03d' $((t / 1000)) $((t % 1000))
  printf '%8s %s\n' "$elapsed" "$*" >> "$log"
}

alive() {
  local pid comm state
  [ -n "$app" ] && kill -0 "$app" 2>/dev/null || return 1
  read -r pid comm state _ < "/proc/$app/stat" 2>/dev/null || return 1
  [ "$state" != Z ]
}

start_editor() {
  (
    cd "$tmp/song" &&
      exec env -i PATH="$tmp/bin:/usr/bin:/bin" BROWSER="$tmp/bin/xdg-open" LANG=C.UTF-8 \
        DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" \
        XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/no-bus" PULSE_SERVER="unix:$tmp/no-pulse" \
        ALSA_CONFIG_PATH="$tmp/asound.conf" \
        ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:handle_abort=1:log_path=$tmp/logs/sanitizer" \
        UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$tmp/logs/sanitizer" \
        "$editor" demo.txt >>"$tmp/logs/editor-stdout.txt" 2>>"$tmp/logs/editor-stderr.txt"
  ) &
  app=$!
  note "start the editor (pid $app)"
  win=""
  score_win=""
  target=""
  local tries=0
  while :; do
    if ! alive; then
      wait "$app"
      local status=$?
      app=""
      fail crash "the editor exited with status $status while starting"
    fi
    win=$(xdotool search --onlyvisible --pid "$app" --name 'Chimewright Ver1\.21' 2>/dev/null |
      head -n 1)
    [ -n "$win" ] && break
    tries=$((tries + 1))
    [ "$tries" -ge $((startup_timeout * 10)) ] && fail hang "no window after $startup_timeout s"
    sleep 0.1
  done
  local WINDOW X=0 Y=0 WIDTH=0 HEIGHT=0 SCREEN
  eval "$(xdotool getwindowgeometry --shell "$win" 2>/dev/null)"
  ((WIDTH > 0 && HEIGHT > 0)) || fail crash "the window $win has no size"
  wx=$X wy=$Y ww=$WIDTH wh=$HEIGHT
  note "window $win at $wx,$wy, ${ww}x$wh"
  settle
}

# ---------------------------------------------------------------- findings
sanitizer_report() { # prints the sanitizer logs, if any; true when there was one
  local found=1 f
  for f in "$tmp"/logs/sanitizer.*; do
    [ -s "$f" ] || continue
    # A leak whose every stack lies in the system's libraries (Qt's D-Bus thread at exit,
    # seen once, not again with the same seed) is theirs, not ours: noted, no finding.
    if grep -q 'ERROR: LeakSanitizer' "$f" && ! grep -qE "$root/src/|/chimewright\+0x" "$f"; then
      echo "--- $(basename "$f"): a leak inside system libraries only, not counted" >&2
      continue
    fi
    found=0
    echo "--- $(basename "$f")"
    head -n 120 "$f"
  done
  if grep -qE 'runtime error|ERROR: (Address|Leak)Sanitizer' "$tmp/logs/editor-stderr.txt" 2>/dev/null; then
    found=0
    echo "--- sanitizer lines on the editor's standard error"
    grep -E -A 40 'runtime error|ERROR: (Address|Leak)Sanitizer' "$tmp/logs/editor-stderr.txt" |
      head -n 120
  fi
  return $found
}

fail() { # KIND MESSAGE: prints the report, keeps the logs and exits 1
  local kind=$1 message=$2
  trap - INT TERM HUP
  note "FAILED ($kind): $message"
  if [[ $kind == hang || $kind == stuck ]] && alive; then
    if command -v gdb >/dev/null 2>&1; then
      timeout 60 gdb -p "$app" -batch -ex 'thread apply 1 bt 40' -ex 'thread apply all bt 30' \
        >"$tmp/logs/hang-stacks.txt" 2>&1
    fi
    # With handle_abort the sanitizer prints the main thread's stack on SIGABRT.
    kill -ABRT "$app" 2>/dev/null
    for _ in $(seq 100); do alive || break; sleep 0.1; done
  fi
  local keep
  keep="$root/build/monkey/seed$seed-$(date +%Y%m%d-%H%M%S)"
  mkdir -p "$keep" && cp -r "$tmp/logs/." "$keep/"
  {
    echo "monkey: FAILED ($kind): $message"
    echo "seed $seed, action $actions, $elapsed s into a $duration s run" \
      "(replay: scripts/monkey.sh $duration $seed)"
    echo "last actions:"
    tail -n 30 "$log" | sed 's/^/  /'
    sanitizer_report || echo "no sanitizer report"
    if [ -s "$tmp/logs/hang-stacks.txt" ]; then
      echo "--- the editor's main thread (gdb; all threads in hang-stacks.txt)"
      grep -E '^(Thread|#)' "$tmp/logs/hang-stacks.txt" | head -n 40
    fi
    echo "--- the editor's standard error (last 20 lines)"
    tail -n 20 "$tmp/logs/editor-stderr.txt" 2>/dev/null
    echo "logs kept in $keep"
  } >&2
  exit 1
}

# The editor is gone. A quit from its own menu (status 0, no report) starts it again;
# anything else is a crash.
editor_exited() {
  local status
  wait "$app"
  status=$?
  app=""
  if [ "$status" -eq 0 ] && ! sanitizer_report >/dev/null; then
    [ -n "$closing" ] && return
    note "the editor quit (status 0); starting it again"
    restarts=$((restarts + 1))
    start_editor
    return
  fi
  if [ "$status" -gt 128 ]; then
    fail crash "the editor died of signal $((status - 128)) (status $status)"
  fi
  fail crash "the editor exited with status $status"
}

# Waits until the editor has handled everything sent so far; false when it had to be
# started again. Qt queues input inside and may handle it one turn after answering a
# ping, hence two pings.
ping_editor() {
  local i rc
  for i in 1 2; do
    "$tmp/xwin" ping "$win" $((ping_timeout * 1000))
    rc=$?
    [ $rc -eq 0 ] && continue
    [ $rc -eq 3 ] && fail hang "the X server went away"
    if [ $rc -eq 1 ] && alive; then
      # A sanitizer writing its report (slow under load) is no hang: let it finish.
      if compgen -G "$tmp/logs/sanitizer.*" >/dev/null; then
        for _ in $(seq 600); do alive || break; sleep 0.1; done
      fi
      alive && fail hang "the window did not answer a ping within $ping_timeout s"
    fi
    # The window is gone: the editor is exiting, or has crashed.
    for _ in $(seq $((ping_timeout * 10))); do alive || break; sleep 0.1; done
    alive && fail hang "the main window is gone but the editor keeps running"
    editor_exited
    return 1
  done
  return 0
}

# The score editor's window while it shows, into $score_win.
find_score() {
  score_win=$(xdotool search --onlyvisible --pid "$app" --name '^楽譜入力$' 2>/dev/null |
    head -n 1)
}

# Dismisses every dialog (file, font and message boxes, the save question) with Escape
# and gives the window of the last action (the main window or the score editor) the
# keyboard again: nothing but Escape ever reaches a
# dialog, so no path is ever typed into one and the save question is always Cancel.
settle() {
  local tries focus id name line
  ping_editor || return 0
  for tries in $(seq 12); do
    focus="" id="" name=""
    while read -r line; do
      case $line in
        "focus "*) focus=${line#focus } ;;
        *) id=${line%% *} name=${line#* } ;;
      esac
    done < <("$tmp/xwin" dialogs "$app" "$win")
    if [ -z "$id" ]; then
      find_score
      [ "$target" = "$score_win" ] && [ -n "$target" ] || target=$win
      [ "$focus" != "$target" ] && xdotool windowfocus "$target" 2>/dev/null
      return 0
    fi
    if ((tries % 4 == 0)); then
      # A drag of a text box's selection swallows keys until a button is let go.
      note "  click beside the windows (a drag may be swallowing keys)"
      xdotool mousemove 2 2 click 1 2>/dev/null
      ping_editor || return 0
    fi
    note "  dismiss \"$name\" with Escape"
    dismissed=$((dismissed + 1))
    xdotool windowfocus "$id" key Escape 2>/dev/null
    ping_editor || return 0
  done
  fail stuck "a dialog (\"$name\") does not close on Escape or a click; the editor still answers pings"
}

# ---------------------------------------------------------------- random actions
RANDOM=$seed
rnd() { r=$((RANDOM % $1)); }  # r = 0..N-1, from the seeded sequence (never in a subshell)
pick() { # one of the arguments into $picked
  rnd $#
  local -a a=("$@")
  picked=${a[$r]}
}

chars=(a b c d e f g h i j k l m n o p q r s t u v w x y z
  A B C D E G L O R T V 0 1 2 3 4 5 6 7 8 9
  less greater plus minus numbersign period asterisk ampersand exclam
  bracketleft bracketright braceleft braceright at asciitilde underscore semicolon space)
moves=(Return Tab shift+Tab Left Right Up Down Left Right Up Down BackSpace Delete Home End
  Page_Up Page_Down)
controls=(ctrl+z ctrl+a ctrl+c ctrl+v ctrl+x ctrl+d ctrl+u)
snippets=("cdefgab" "o4l8" "t120" "r4" "<c>" "@1" "v10" "c4&c8" "d8." "[ceg]2" "o5c#16")

point() { # a random point in the window into $x $y
  rnd "$ww"
  x=$((wx + r))
  rnd "$wh"
  y=$((wy + r))
}

score_keys=(0 1 2 3 4 5 6 7 8 9 Left Right Up Down Left Right Up Down Insert Delete Tab
  space Return)

# An action at the score editor: its keys, its menus, clicks and drags on its staff and
# controls. The editor gets the keyboard first.
score_action() {
  local x y x0 y0 menu X=0 Y=0 WIDTH=0 HEIGHT=0 WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$score_win" 2>/dev/null)"
  sx=$X sy=$Y sw=$((WIDTH > 0 ? WIDTH : 1)) sh=$((HEIGHT > 0 ? HEIGHT : 1))
  target=$score_win
  spoint() {
    rnd "$sw"; x=$((sx + r))
    rnd "$sh"; y=$((sy + r))
  }
  rnd 100
  if ((r < 40)); then
    pick "${score_keys[@]}"; cmd=(windowfocus "$score_win" key "$picked")
    desc="score: key $picked"
  elif ((r < 48)); then
    pick f e p; menu=$picked
    pick n c i d l o r p s a t 1 2 3 4 5 6 7 8 9 0
    cmd=(windowfocus "$score_win" key "alt+$menu" MENU key "$picked")
    desc="score: menu alt+$menu, then $picked"
  elif ((r < 80)); then
    spoint
    rnd 10
    if ((r < 8)); then
      cmd=(mousemove "$x" "$y" click 1); desc="score: click at $x,$y"
    else
      cmd=(mousemove "$x" "$y" click 3); desc="score: right-click at $x,$y"
    fi
  elif ((r < 97)); then
    spoint; x0=$x y0=$y
    spoint
    cmd=(mousemove "$x0" "$y0" mousedown 1 mousemove $(((x0 + x) / 2)) $(((y0 + y) / 2))
      mousemove "$x" "$y" mouseup 1)
    desc="score: drag from $x0,$y0 to $x,$y"
  else
    cmd=(windowfocus "$score_win" key Escape); desc="score: key Escape"
  fi
}

# The next action: xdotool arguments into $cmd (MENU splits a menu key from its
# letter), its description into $desc.
next_action() {
  local x y x0 y0 menu
  target=$win
  if [ -n "$score_win" ]; then
    rnd 2
    if ((r == 0)); then
      score_action
      return
    fi
  fi
  rnd 100
  if ((r < 36)); then
    pick "${chars[@]}"; cmd=(key "$picked"); desc="key $picked"
  elif ((r < 39)); then
    pick "${snippets[@]}"; cmd=(type --delay 5 "$picked"); desc="type $picked"
  elif ((r < 52)); then
    pick "${moves[@]}"; cmd=(key "$picked"); desc="key $picked"
  elif ((r < 60)); then
    pick "${controls[@]}"; cmd=(key "$picked"); desc="key $picked"
  elif ((r < 63)); then
    pick F1 F2 F3 F4; cmd=(key "$picked"); desc="key $picked"
  elif ((r < 65)); then
    cmd=(key Escape); desc="key Escape"
  elif ((r < 71)); then
    pick f s p h; menu=$picked
    pick a b c d e f g h i j k l m n o p q r s t u v w x y z
    cmd=(key "alt+$menu" MENU key "$picked"); desc="menu alt+$menu, then $picked"
  elif ((r < 87)); then
    point
    rnd 10
    if ((r < 7)); then
      cmd=(mousemove "$x" "$y" click 1); desc="click at $x,$y"
    elif ((r < 8)); then
      cmd=(mousemove "$x" "$y" click 3); desc="right-click at $x,$y"
    elif ((r < 9)); then
      # On X11 the middle button pastes the primary selection.
      cmd=(mousemove "$x" "$y" click 2); desc="middle-click at $x,$y"
    else
      cmd=(mousemove "$x" "$y" click --repeat 2 1); desc="double-click at $x,$y"
    fi
  elif ((r < 96)); then
    point; x0=$x y0=$y
    point
    cmd=(mousemove "$x0" "$y0" mousedown 1 mousemove $(((x0 + x) / 2)) $(((y0 + y) / 2))
      mousemove "$x" "$y" mouseup 1)
    desc="drag from $x0,$y0 to $x,$y"
  else
    point
    pick 4 5; cmd=(mousemove "$x" "$y" click "$picked")
    desc="wheel $([ "$picked" = 4 ] && echo up || echo down) at $x,$y"
  fi
}

send() {
  local i
  for i in "${!cmd[@]}"; do
    if [ "${cmd[$i]}" = MENU ]; then
      # The menu opens before its letter is pressed.
      xdotool "${cmd[@]:0:i}" 2>/dev/null
      ping_editor || return 0
      xdotool "${cmd[@]:i+1}" 2>/dev/null
      return 0
    fi
  done
  xdotool "${cmd[@]}" 2>/dev/null
}

start_editor
while :; do
  clock_ms
  ((ms - start_ms < duration * 1000)) || break
  next_action
  actions=$((actions + 1))
  note "#$actions $desc"
  send
  if alive; then settle; else editor_exited; fi
done

# ---------------------------------------------------------------- the end
# Close the window as a person would, answering No to the save question, so that
# shutting down and the leak check run under the sanitizers too. Escape first ends a
# text drag the last actions may have left going (it would swallow every key).
note "close the window"
closing=1
# The score editor first: its question (OK / Cancel) is answered with OK, which the
# main window's question below (Yes / No / Cancel) is not.
if alive; then
  find_score
  if [ -n "$score_win" ]; then
    note "close the score editor"
    "$tmp/xwin" close "$score_win"
    for _ in $(seq 50); do
      find_score
      [ -z "$score_win" ] && break
      while read -r line; do
        case $line in
          [0-9]*" 確認"*)
            note "  answer \"${line#* }\" with OK"
            xdotool windowfocus "${line%% *}" key Return 2>/dev/null
            ;;
        esac
      done < <("$tmp/xwin" dialogs "$app" "$win")
      sleep 0.1
    done
  fi
fi
# A question still there after its No is the score editor's (OK / Cancel, no No): the
# main window's close asks it when the editor is still open; it gets OK.
declare -A said_no=()
for attempt in 1 2 3; do
  alive || break
  xdotool key Escape 2>/dev/null
  settle
  "$tmp/xwin" close "$win"
  for _ in $(seq 50); do
    alive || break
    while read -r line; do
      case $line in
        "focus "*) ;;
        [0-9]*" 確認"*)
          if [ -n "${said_no[${line%% *}]:-}" ]; then
            note "  answer \"${line#* }\" with OK"
            xdotool windowfocus "${line%% *}" key Return 2>/dev/null
          else
            said_no[${line%% *}]=1
            note "  answer \"${line#* }\" with No"
            xdotool windowfocus "${line%% *}" key n 2>/dev/null
          fi
          ;;
      esac
    done < <("$tmp/xwin" dialogs "$app" "$win")
    sleep 0.1
  done
done
if [ -n "$app" ]; then
  alive && fail hang "the editor does not quit when its window is closed"
  wait "$app"
  status=$?
  app=""
  [ "$status" -eq 0 ] || fail crash "the editor exited with status $status on closing"
fi
sanitizer_report >/dev/null && fail sanitizer "a sanitizer report"
note "done"
rm -rf "$root/build/monkey/last-pass"
mkdir -p "$root/build/monkey/last-pass" && cp -r "$tmp/logs/." "$root/build/monkey/last-pass/"
echo "monkey: passed: $duration s, seed $seed, $actions actions" \
  "($dismissed dialogs dismissed, $restarts restarts)"
exit 0
}
