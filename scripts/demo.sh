#!/bin/bash
# Starts the built NetGlow.exe in a Wine desktop prepared to look like a
# Windows machine: a taskbar with a notification area, the registry's
# connection names and an ipconfig that reports this machine's adapters the
# way Windows 10 does, NetGlow installed under C:\Program Files\NetGlow.
#   demo.sh BUILD_DIR
# NetGlow monitors the loopback adapter (127.0.0.1) through Wine's own
# capture library, behind the demo forwarder installed as Npcap's wpcap.dll.
# Without a display it runs on Xvfb, sends loopback datagrams, saves a
# screenshot of the desktop with the lit lamp (BUILD_DIR/screenshot.png) and ends.
set -eu
BUILD=$(cd "$1" && pwd)
SOURCE=$(cd "$(dirname "$0")/.." && pwd)
ROOT="$BUILD/wine"
# Wine prefers its builtin wpcap.dll over the file in the Npcap folder, and
# its builtin ipconfig over the system folder's ipconfig.exe that
# winelike-env.sh put there.
export WINEPREFIX="$ROOT/demo" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;wpcap=n,b;ipconfig.exe=n"
mkdir -p "$ROOT"

cmake --build "$BUILD" --target NetGlow netglow_help demo_wpcap_shim >/dev/null

headless=0
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  headless=1
  displayfile=$(mktemp)
  setsid Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$displayfile" </dev/null >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
  export DISPLAY=:$(tr -dc 0-9 < "$displayfile")
  rm -f "$displayfile"
fi

# A prefix of an earlier layout is prepared again (the loopback adapter got
# its address and name later).
LAYOUT=2
if [ "$(cat "$WINEPREFIX/.netglow-ready" 2>/dev/null)" != "$LAYOUT" ]; then
  echo "Preparing the Wine desktop (first run only)..."
  rm -rf "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  "$SOURCE/tests/wine/prefix-setup.sh" demo "$BUILD" </dev/null >/dev/null 2>&1
  if [ -x "$SOURCE/scripts/winelike-env.sh" ]; then
    "$SOURCE/scripts/winelike-env.sh" "$WINEPREFIX" "$BUILD"
  fi
  wineserver -w
  echo "$LAYOUT" >"$WINEPREFIX/.netglow-ready"
fi

# Where Npcap would put its library, the demo's forwarder to Wine's own.
mkdir -p "$WINEPREFIX/drive_c/windows/system32/Npcap"
cp "$BUILD/demo/wpcap.dll" "$WINEPREFIX/drive_c/windows/system32/Npcap/wpcap.dll"
program="$WINEPREFIX/drive_c/Program Files/NetGlow"
mkdir -p "$program"
cp "$BUILD/NetGlow.exe" "$program/"
[ -f "$BUILD/NetGlow.chm" ] && cp "$BUILD/NetGlow.chm" "$program/"
# Unless the user has saved settings of their own: monitor the loopback
# adapter from the start, with a lamp time long enough to see each blink.
if [ ! -f "$program/NetGlow.ini" ]; then
  printf '[Option]\r\nWaitTime=100\r\nWaitCount=50\r\nWaitFlag=1\r\nCardName=Loopback\r\nInitOpt=-1\r\nStartOpt=1\r\nNowOpt=0\r\nColorSend=1\r\nColorRecv=2\r\nTimeoutP=300\r\n' \
    >"$program/NetGlow.ini"
fi

echo "Starting NetGlow in the Wine desktop (DISPLAY=$DISPLAY)."
echo "It monitors the loopback adapter: run 'ping 127.0.0.1' in another terminal to make the lamp blink."
if [ "$headless" = 0 ]; then
  exec wine explorer /desktop=shell,1024x768 'C:\Program Files\NetGlow\NetGlow.exe'
fi

wine explorer /desktop=shell,1024x768 'C:\Program Files\NetGlow\NetGlow.exe' </dev/null >/dev/null 2>&1 &
for _ in $(seq 60); do pgrep -f 'NetGlow.exe' >/dev/null && break; sleep 0.5; done
# Start-up builds the adapter table (it runs ipconfig) before the icon settles.
sleep 8
# Real loopback traffic while the screenshot is taken, so that it shows the lit lamp.
( while :; do printf x >/dev/udp/127.0.0.1/9; sleep 0.05; done ) 2>/dev/null &
traffic=$!
sleep 1
import -window root "$BUILD/screenshot.png"
kill "$traffic"
echo "Screenshot of the desktop: $BUILD/screenshot.png"
wineserver -k || true
kill "$xvfb" 2>/dev/null || true
