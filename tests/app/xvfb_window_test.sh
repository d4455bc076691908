#!/usr/bin/env bash
# Runs the real keyloft on a virtual X display against a virtual keyboard and
# checks that its window maps, at the skin's size, with the skin's shape.
# Usage: xvfb_window_test.sh KEYLOFT VIRTUAL_KEYBOARD
set -euo pipefail
keyloft=$1
keyboard=$2

for tool in xvfb-run xwininfo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing (scripts/setup installs it)"; exit 77; }
done

root=$(mktemp -d)
cleanup() {
  [[ -n ${keyboard_pid:-} ]] && kill "$keyboard_pid" 2>/dev/null && wait "$keyboard_pid" 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT
mkdir -p "$root/vhid" "$root/home" "$root/run"
chmod 700 "$root/run"

"$keyboard" serve --dir "$root/vhid" &
keyboard_pid=$!
for _ in $(seq 100); do ls "$root/vhid"/*.ctl >/dev/null 2>&1 && break; sleep 0.05; done

export HOME=$root/home XDG_RUNTIME_DIR=$root/run XDG_CONFIG_HOME=$root/home/.config XDG_DATA_HOME=$root/home/.local/share
export KEYLOFT=$keyloft VHID=$root/vhid OUT=$root
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
  set -u
  # No leak check here: at exit Qt'"'"'s D-Bus thread may still be tearing down
  # after its QThread::wait() returned, and LeakSanitizer'"'"'s tracer crashes on
  # such a thread now and then. The in-process window tests check for leaks.
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$KEYLOFT" --vhid "$VHID" >"$OUT/keyloft.log" 2>&1 &
  pid=$!
  window=
  for _ in $(seq 200); do
    # The main window: keyloft'"'"'s top-level window larger than a stand-in.
    window=$(xwininfo -root -tree | awk '"'"'/\("keyloft" "keyloft"\)/ { split($NF, g, "+"); if ($0 ~ / [0-9][0-9][0-9]+x[0-9][0-9][0-9]+\+/) { print $1; exit } }'"'"')
    [[ -n $window ]] && xwininfo -id "$window" | grep -q "Map State: IsViewable" && break
    window=
    sleep 0.05
  done
  if [[ -z $window ]]; then echo "no keyloft window mapped"; cat "$OUT/keyloft.log"; kill "$pid"; exit 1; fi
  xwininfo -id "$window" -shape >"$OUT/window.txt"
  kill -TERM "$pid"
  wait "$pid"
  echo "exit=$?" >>"$OUT/window.txt"
'
cat "$root/window.txt"
grep -q "exit=0" "$root/window.txt" || tail -c 4000 "$root/keyloft.log"

fail() { echo "FAILED: $*"; exit 1; }
grep -q "Map State: IsViewable" "$root/window.txt" || fail "the window is not viewable"
width=$(sed -n 's/^ *Width: //p' "$root/window.txt")
height=$(sed -n 's/^ *Height: //p' "$root/window.txt")
# The skin's picture is the window: 1060 x 590.
[[ $width == 1060 && $height == 590 ]] || fail "the window is ${width}x${height}, not the skin's 1060x590"
grep -q "Window shape extents: *${width}x${height}+0+0" "$root/window.txt" || fail "the window has no shape of the skin's size"
grep -q "exit=0" "$root/window.txt" || fail "keyloft did not end cleanly on SIGTERM"
echo "ok: the window maps at ${width}x${height} with its shape"
