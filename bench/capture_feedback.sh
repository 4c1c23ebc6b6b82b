#!/usr/bin/env bash
# Capture mode's feedback and the service-free deliveries, under Wine, side by
# side with a reference measured in the same run:
#   - a mouse move before the press (window outline, magnifier) and during a
#     drag (selection, size label, magnifier) to its repaint done: median, target < 4 ms;
#   - the release of a whole-screen selection to the picture on the clipboard
#     (Copy) and to the PNG written (Save), against ImageMagick's `convert`
#     writing a PNG of the same pixels (process start included): target <= 2 x convert.
# On one Xvfb at 1920x1080, then on two monitors (scripts/two_monitors.sh, a
# virtual screen of (-1280, 0) 3200 x 1080) when this runs as root with Xorg.
#
#   bench/capture_feedback.sh [runs]      default 5
# Times inside Wine with QueryPerformanceCounter (bench/release_steps_win32.cpp
# "feedback"). Fails only when a figure could not be taken.
set -uo pipefail
cd "$(dirname "$0")/.."
PY=/usr/bin/python3
RUNS=${1:-5}
BIN="$(pwd)/build/windows"

# shellcheck source=scripts/deps.sh
. scripts/deps.sh

fail() { echo "capture_feedback: no figure: $*" >&2; exit 1; }
command -v convert >/dev/null || fail "no convert (scripts/deps.sh installs ImageMagick)"
[ -f "$BIN/build.ninja" ] || cmake --preset windows >/dev/null || fail "the windows preset does not configure"
cmake --build "$BIN" -j2 --target release_steps_win32 >/tmp/corvane-feedback-build.log 2>&1 ||
  { tail -n 20 /tmp/corvane-feedback-build.log; fail "the benchmark does not build"; }

WORK=$(mktemp -d /tmp/corvane-feedback.XXXXXX)
XVFB_PID="" XORG_WORK=""
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  local code=$?
  trap - EXIT INT TERM
  timeout 30 wineserver -k >/dev/null 2>&1
  timeout 30 wineserver -w >/dev/null 2>&1
  [ -n "$XORG_WORK" ] && scripts/two_monitors.sh stop "$XORG_WORK"
  [ -n "$XVFB_PID" ] && stop_pid "$XVFB_PID"
  rm -rf "$WORK"
  exit "$code"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# prefix NAME: a fresh prefix on the current display, without a window manager's waits.
prefix() {
  export WINEPREFIX="$WORK/$1"
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1
  timeout 180 wineboot -i >/dev/null 2>&1 || fail "the Wine prefix $1 could not be made"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n' |
    iconv -f utf-8 -t utf-16 >"$WORK/x11.reg"
  timeout 60 wine regedit /S "$(winpath "$WORK/x11.reg")" >/dev/null 2>&1 || fail "regedit failed"
}
# measure NAME WIDTH HEIGHT: the desktop picture shown, the feedback timed, convert beside it.
measure() {
  "$PY" -c "
import sys; sys.path.insert(0, 'tests/e2e')
import corvane_e2e; corvane_e2e.make_desktop_picture('$WORK/$1.png', ($2, $3))" || fail "no desktop picture"
  timeout 30 display -window root "$WORK/$1.png" >/dev/null 2>&1
  mkdir -p "$WORK/saved-$1"
  timeout 600 wine "$BIN/release_steps_win32.exe" feedback "$RUNS" "$(winpath "$WORK/saved-$1")" \
    >"$WORK/$1.out" 2>"$WORK/$1.err" || { cat "$WORK/$1.err" >&2; fail "the feedback steps did not run ($1)"; }
  tr -d '\r' <"$WORK/$1.out" >"$WORK/$1.steps"
  ls "$WORK/saved-$1"/capture-*.png >/dev/null 2>&1 || fail "Save wrote no PNG ($1)"
  convert "$WORK/$1.png" "$WORK/$1.ppm" || fail "convert failed"
  local times=() i t0
  for i in $(seq "$RUNS"); do
    t0=$(date +%s%N)
    convert "$WORK/$1.ppm" "$WORK/$1-ref.png" || fail "convert failed"
    times+=("$(( ($(date +%s%N) - t0) / 1000 ))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "convert=%.2f\n", (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) / 1000 }' \
    >>"$WORK/$1.steps"
}
report() {
  awk -v name="$1" '
    /^step=/ { line = substr($0, 6); ms = line; sub(/ ms=.*/, "", line); sub(/.* ms=/, "", ms); steps[++n] = line; value[n] = ms }
    /^size=/ { size = $0 }
    /^convert=/ { sub(/convert=/, ""); conv = $0 }
    END {
      printf "\n%s (%s)\n", name, size
      for (i = 1; i <= n; ++i) {
        if (steps[i] ~ /^of which/)
          printf "    %-70s %8.2f ms\n", steps[i], value[i]
        else if (steps[i] ~ /^mouse move/)
          printf "  %-72s %8.2f ms   < 4 ms %s\n", steps[i], value[i], value[i] + 0 < 4 ? "met" : "MISSED"
        else
          printf "  %-72s %8.2f ms   %.2f x convert, <= 2 %s\n", steps[i], value[i], value[i] / conv,
                 value[i] + 0 <= 2 * conv ? "met" : "MISSED"
      }
      printf "  %-72s %8.2f ms\n", "convert writing a PNG of the same pixels (process start included)", conv
    }' "$WORK/$2.steps"
}

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
[ -s "$WORK/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(tr -d '\n' <"$WORK/display")"
prefix one
measure one 1920 1080
echo "capture feedback under $(wine --version 2>/dev/null), medians of $RUNS runs (60 moves each)"
report "one monitor, Xvfb" one

if [ "$(id -u)" -eq 0 ] && command -v Xorg >/dev/null 2>&1; then
  timeout 30 wineserver -k >/dev/null 2>&1
  timeout 30 wineserver -w >/dev/null 2>&1
  XORG_WORK="$WORK/xorg"
  if TWO=$(scripts/two_monitors.sh start "$XORG_WORK" 2>"$WORK/xorg.err"); then
    export DISPLAY="$TWO"
    xrandr >/dev/null 2>&1
    prefix two
    measure two 3200 1080
    report "two monitors, Xorg dummy driver" two
  else
    cat "$WORK/xorg.err" >&2
    echo "two monitors: not measured (the X server did not start)"
  fi
else
  echo "two monitors: not measured (needs root and Xorg with the dummy driver)"
fi
