#!/usr/bin/env bash
# Runs corvane.exe under Wine with the local web service standing in for the real
# one: the prefix's proxy setting sends the program's requests to the service, and
# links the program opens are written to a log instead of a browser.
#
#   scripts/run.sh          the tray program on $DISPLAY, until Exit in its tray menu
#   scripts/run.sh --demo   one capture driven by simulated input, then a report
#                           (the default when there is no $DISPLAY: a virtual one is used)
set -uo pipefail

cd "$(dirname "$0")/.."
ROOT=$(pwd)
PY=/usr/bin/python3
DEMO=0
for arg in "$@"; do
  case "$arg" in
    --demo) DEMO=1 ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done
[ -n "${DISPLAY:-}" ] || DEMO=1

# shellcheck source=scripts/deps.sh
. scripts/deps.sh
corvane_install_deps || exit 1

echo "== building the windows preset"
{ cmake --preset windows && cmake --build --preset windows -j2; } >/tmp/corvane-run-build.log 2>&1 ||
  { tail -n 30 /tmp/corvane-run-build.log; exit 1; }
BIN="$ROOT/build/windows"

RUN_DIR="${CORVANE_RUN_DIR:-$ROOT/build/run}"
mkdir -p "$RUN_DIR/store"
export WINEPREFIX="$RUN_DIR/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy HTTP_PROXY
XVFB_PID="" SERVICE_PID="" CORVANE_PID=""

cleanup() {
  local code=$?
  trap - EXIT INT TERM
  [ -n "$CORVANE_PID" ] && kill "$CORVANE_PID" 2>/dev/null
  timeout 30 wineserver -k >/dev/null 2>&1
  timeout 30 wineserver -w >/dev/null 2>&1
  if [ -n "$SERVICE_PID" ]; then stop_pid "$SERVICE_PID"; fi
  if [ -n "$XVFB_PID" ]; then stop_pid "$XVFB_PID"; fi
  exit "$code"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# waits up to $1 seconds for the command that follows to succeed
poll() {
  local deadline=$((SECONDS + $1))
  shift
  while [ "$SECONDS" -lt "$deadline" ]; do "$@" && return 0; sleep 0.1; done
  "$@"
}
running() { kill -0 "$CORVANE_PID" 2>/dev/null; }

if [ -z "${DISPLAY:-}" ]; then
  # A number left by an earlier run would be read before this server writes its own.
  rm -f "$RUN_DIR/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$RUN_DIR/display" >/dev/null 2>&1 &
  XVFB_PID=$!
  poll 10 test -s "$RUN_DIR/display" || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(tr -d '\n' <"$RUN_DIR/display")"
  echo "== virtual display $DISPLAY"
fi

[ -f "$WINEPREFIX/system.reg" ] || echo "== making the Wine prefix $WINEPREFIX (once)"
wineserver -p >/dev/null 2>&1
timeout 180 wineboot -i >/dev/null 2>&1 || { echo "the Wine prefix could not be made" >&2; exit 1; }

rm -f "$RUN_DIR/service.port"
# Links name the built-in host: the program here has no service address set.
"$PY" service/webservice.py --port 0 --port-file "$RUN_DIR/service.port" --store "$RUN_DIR/store" \
  --public-base http://corvane.net >"$RUN_DIR/service.log" 2>&1 &
SERVICE_PID=$!
poll 10 test -s "$RUN_DIR/service.port" || { cat "$RUN_DIR/service.log"; exit 1; }
PORT=$(cat "$RUN_DIR/service.port")
echo "== web service on 127.0.0.1:$PORT, pictures stored in $RUN_DIR/store"

BROWSER_LOG="$RUN_DIR/browser.log"
: >"$BROWSER_LOG"
cat >"$RUN_DIR/browser.sh" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >> "$BROWSER_LOG"
EOF
chmod +x "$RUN_DIR/browser.sh"

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
{
  corvane_prefix_settings "$PORT" "$RUN_DIR/browser.sh"
  if [ -n "$XVFB_PID" ]; then
    # No window manager here: hiding a full-screen window would wait for one for two seconds.
    echo '"Managed"="N"'
  else
    echo '"Managed"=-'
  fi
  if [ "$DEMO" = 1 ]; then
    # Quick capture on, so that the release uploads at once and no menu needs a choice.
    echo
    echo "[HKEY_CURRENT_USER\\SOFTWARE\\Corvane\\Corvane1]"
    echo '"simplemode"=dword:00000001'
  fi
  echo
} | iconv -f utf-8 -t utf-16 >"$RUN_DIR/settings.reg"
timeout 60 wine regedit /S "$(winpath "$RUN_DIR/settings.reg")" >/dev/null 2>&1

windows_of_corvane() { timeout 10 wine "$BIN/probe.exe" list 2>/dev/null | grep '"process": "corvane.exe"'; }
tray_shown() { timeout 10 wine "$BIN/probe.exe" list 2>/dev/null | grep -q '"visible": true.*"title": "Wine System Tray"'; }
capture_mode() { windows_of_corvane | grep -q '"class": "ZURAZIZIZIZAR", "visible": true'; }
stored() { grep -q '^stored ' "$RUN_DIR/service.log"; }
opened() { test -s "$BROWSER_LOG"; }

wine "$BIN/corvane.exe" >/dev/null 2>&1 &
CORVANE_PID=$!

if [ "$DEMO" = 0 ]; then
  echo "== corvane.exe runs in the tray of $DISPLAY: Alt+C or a left click on its icon to capture,"
  echo "   a right click for its menu, Exit there to end. Links it opens go to $BROWSER_LOG"
  wait "$CORVANE_PID"
  code=$?
  CORVANE_PID=""
  echo "== corvane.exe ended with code $code"
  grep '^stored ' "$RUN_DIR/service.log"
  exit 0
fi

echo "== demo: one capture by simulated input"
if [ -n "$XVFB_PID" ]; then
  "$PY" -c "
import sys; sys.path.insert(0, 'tests/e2e')
import corvane_e2e; corvane_e2e.make_desktop_picture('$RUN_DIR/desktop.png')"
  timeout 30 display -window root "$RUN_DIR/desktop.png" >/dev/null 2>&1
fi
tray_or_end() { tray_shown || ! running; }
poll 30 tray_or_end
running || { wait "$CORVANE_PID"; echo "corvane.exe ended at start-up with code $?" >&2; CORVANE_PID=""; exit 1; }
tray_shown || { echo "no tray icon appeared" >&2; exit 1; }
echo "   tray icon shown"
timeout 10 wine "$BIN/input.exe" alt+c >/dev/null 2>&1
poll 10 capture_mode || { echo "Alt+C did not start capture mode" >&2; exit 1; }
X1=200 Y1=150 X2=599 Y2=449
echo "   capture mode: dragging from ($X1, $Y1) to ($X2, $Y2)"
xdotool mousemove $X1 $Y1 sleep 0.2 mousedown 1 \
  mousemove 300 250 sleep 0.1 mousemove 500 350 sleep 0.1 mousemove $X2 $Y2 sleep 0.2 mouseup 1
poll 30 stored || { echo "the service stored no picture" >&2; cat "$RUN_DIR/service.log"; exit 1; }
poll 10 opened || echo "   (no browser launch logged)"

read -r _ ID PICTURE < <(grep '^stored ' "$RUN_DIR/service.log" | tail -1)
echo
echo "link opened in the browser: $(tail -n 1 "$BROWSER_LOG")"
echo "clipboard holds:            $(timeout 5 xclip -o -selection clipboard 2>/dev/null)"
echo "service stored picture $ID: $PICTURE ($(identify -format '%wx%h %m' "$PICTURE" 2>/dev/null))"
echo "expected size:              $((X2 - X1 + 1))x$((Y2 - Y1 + 1))"
