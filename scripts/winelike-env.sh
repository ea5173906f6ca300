#!/bin/bash
# Makes a Wine prefix look like a Windows machine to NetGlow's adapter
# discovery, for the devices that the prefix's own wpcap.dll lists:
#  - the registry keys Windows keeps for each adapter (SYSTEM\Select "Current"
#    and ...\Control\Network\{class}\{GUID}\Connection "Name"),
#  - in place of the system folder's ipconfig.exe, one that prints the
#    Windows 10 English report of those adapters with this machine's IPv4
#    addresses (the loopback adapter "Loopback" with 127.0.0.1), since
#    Wine's own ipconfig prints another format; Wine runs it only with
#    WINEDLLOVERRIDES "ipconfig.exe=n",
#  - the light taskbar that Wine draws (SystemUsesLightTheme 1).
# This is test and demo environment only; the program knows nothing of it.
#   scripts/winelike-env.sh PREFIXDIR [BUILDDIR]
set -eu
[ $# -ge 1 ] || { echo "usage: $0 PREFIXDIR [BUILDDIR]" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=$(cd "$1" && pwd)
BUILD=$(cd "${2:-$here/../build/win}" && pwd)
export WINEDEBUG=-all
NETWORK_CLASS='{4D36E972-E325-11CE-BFC1-08002BE10318}'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Device name, description (Wine: the Linux interface), address Wine reports.
# Output goes to a file: Wine's helper processes keep their handles open.
wine "$BUILD/tests/fakes/list_devices.exe" >"$work/devices" 2>"$work/errors" </dev/null || {
  cat "$work/errors" >&2; exit 1; }
tr -d '\r' <"$work/devices" >"$work/devices.txt"

mask_of() { # prefix length -> dotted mask
  local bits=$1 mask="" i octet
  for i in 1 2 3 4; do
    if [ "$bits" -ge 8 ]; then octet=255; bits=$((bits - 8))
    else octet=$(( (256 - (1 << (8 - bits))) & 255 )); bits=0; fi
    mask="$mask${mask:+.}$octet"
  done
  echo "$mask"
}

crlf() { printf '%s\r\n' "$@"; }
report="$work/ipconfig-all.txt"
regfile="$work/adapters.reg"
{
  crlf "" "Windows IP Configuration" ""
  crlf "   Host Name . . . . . . . . . . . . : $(uname -n | cut -c1-15)"
  crlf "   Primary Dns Suffix  . . . . . . . : "
  crlf "   Node Type . . . . . . . . . . . . : Hybrid"
  crlf "   IP Routing Enabled. . . . . . . . : No"
  crlf "   WINS Proxy Enabled. . . . . . . . : No"
} >"$report"
{
  echo "REGEDIT4"
  echo
  echo "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]"
  echo '"Current"=dword:00000001'
  # Wine's taskbar is light and Wine keeps no such value (Windows reads a
  # missing one as dark): the lamps for a light taskbar.
  echo
  echo "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize]"
  echo '"SystemUsesLightTheme"=dword:00000001'
} >"$regfile"

number=0
while IFS=$'\t' read -r device unix wineAddress; do
  case "$device" in *'{'*'}') ;; *) continue ;; esac
  guid="{${device#*\{}"
  number=$((number + 1))
  name=Ethernet; [ $number -eq 1 ] || name="Ethernet $number"
  # The address from the Linux side; pseudo devices get none. The loopback
  # adapter gets its own (127.0.0.1) and the name "Loopback": its traffic is
  # the one a user can make on any machine (ping 127.0.0.1).
  address="" bits=""
  if [ -n "$unix" ] && [ -e "/sys/class/net/$unix" ]; then
    ip -o link show dev "$unix" 2>/dev/null | grep -q LOOPBACK && name=Loopback
    read -r address bits < <(ip -4 -o addr show dev "$unix" 2>/dev/null \
      | awk '{ split($4, a, "/"); print a[1], a[2]; exit }') || true
  fi
  if [ -z "$address" ] && [ -n "$wineAddress" ] && [ "${wineAddress%%.*}" != 127 ] \
     && { [ -z "$unix" ] || [ ! -e "/sys/class/net/$unix" ]; }; then
    address=$wineAddress bits=24
  fi
  mac=$(tr 'a-f:' 'A-F-' <"/sys/class/net/$unix/address" 2>/dev/null || echo 00-00-00-00-00-00)
  {
    crlf "" "Ethernet adapter $name:" ""
    [ -n "$address" ] || crlf "   Media State . . . . . . . . . . . : Media disconnected"
    crlf "   Connection-specific DNS Suffix  . : "
    crlf "   Description . . . . . . . . . . . : ${unix:-Network adapter}"
    crlf "   Physical Address. . . . . . . . . : $mac"
    crlf "   DHCP Enabled. . . . . . . . . . . : No"
    crlf "   Autoconfiguration Enabled . . . . : Yes"
    if [ -n "$address" ]; then
      crlf "   IPv4 Address. . . . . . . . . . . : $address(Preferred) "
      crlf "   Subnet Mask . . . . . . . . . . . : $(mask_of "${bits:-24}")"
      crlf "   Default Gateway . . . . . . . . . : "
      crlf "   NetBIOS over Tcpip. . . . . . . . : Enabled"
    fi
  } >>"$report"
  {
    echo
    echo "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Network\\$NETWORK_CLASS\\$guid\\Connection]"
    echo "\"Name\"=\"$name\""
  } >>"$regfile"
done <"$work/devices.txt"

wine regedit /S "$(winepath -w "$regfile")" </dev/null >/dev/null 2>&1

system32="$WINEPREFIX/drive_c/windows/system32"
cp "$BUILD/tests/fakes/winelike/ipconfig.exe" "$system32/ipconfig.exe"
cp "$report" "$system32/ipconfig-all.txt"

echo "Windows-like environment in $WINEPREFIX: $number adapters"
