#!/usr/bin/env bash
# Starts an X server with two monitors for Wine: a 1920x1080 primary and a
# 1280x1080 monitor left of it, so that Windows programs see a virtual screen
# of (-1280, 0) 3200 x 1080. Xvfb has one screen only; Xorg's dummy driver
# has RandR outputs (DUMMY0, DUMMY1, ...), which Wine reads as monitors.
#
#   scripts/two_monitors.sh start WORKDIR   prints the display (":N") and leaves
#                                           the server's pid in WORKDIR/xorg.pid
#   scripts/two_monitors.sh stop WORKDIR
#
# Needs root (Xorg with a config of its own) and the packages xserver-xorg-core,
# xserver-xorg-video-dummy and x11-xserver-utils. While Wine runs,
# `xrandr --output DUMMY1 --above DUMMY0` (or `--off`) changes the layout.
set -u
cmd=${1:-}; work=${2:-}
[ -n "$cmd" ] && [ -n "$work" ] || { echo "usage: $0 start|stop WORKDIR" >&2; exit 2; }
mkdir -p "$work"

if [ "$cmd" = stop ]; then
  pid=$(cat "$work/xorg.pid" 2>/dev/null) || exit 0
  kill "$pid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || exit 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null
  exit 0
fi
[ "$cmd" = start ] || { echo "usage: $0 start|stop WORKDIR" >&2; exit 2; }

cat >"$work/xorg.conf" <<'CONF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
  Option "Monitor-DUMMY0" "primary"
  Option "Monitor-DUMMY1" "left"
EndSection
Section "Monitor"
  Identifier "primary"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1920x1080" 148.50 1920 2008 2052 2200 1080 1084 1089 1125
  Option "PreferredMode" "1920x1080"
  Option "Primary" "true"
EndSection
Section "Monitor"
  Identifier "left"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Option "LeftOf" "primary"
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "primary"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3200 1080
  EndSubSection
EndSection
CONF

# A free display number: no socket and no lock file of that number.
display=""
for n in $(seq 70 99); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "no free display" >&2; exit 1; }
Xorg "$display" -config "$work/xorg.conf" -noreset -nolisten tcp -novtswitch -sharevts \
  -logfile "$work/xorg.log" >/dev/null 2>&1 &
echo $! >"$work/xorg.pid"
for _ in $(seq 100); do DISPLAY=$display xrandr >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display xrandr >/dev/null 2>&1 || { echo "Xorg did not start; see $work/xorg.log" >&2; exit 1; }
# The dummy driver reports outputs past the first as disconnected until a mode
# is set on them.
{ DISPLAY=$display xrandr --newmode left1280x1080 114.00 1280 1352 1480 1680 1080 1083 1093 1120 &&
  DISPLAY=$display xrandr --addmode DUMMY1 left1280x1080 &&
  DISPLAY=$display xrandr --output DUMMY1 --mode left1280x1080 --left-of DUMMY0; } >/dev/null 2>&1 ||
  { echo "could not turn the second monitor on" >&2; exit 1; }
echo "$display"
