#!/bin/bash
# Runs scripts/package.sh into a scratch folder and checks the zip it wrote.
#   check_package.sh SOURCE_DIR SCRATCH_DIR [BUILD_DIR]
set -euo pipefail
source=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch/out"
if [ $# -ge 3 ]; then export NETGLOW_PACKAGE_BUILD=$3; fi
"$source/scripts/package.sh" "$scratch/out" > "$scratch/package.log" 2>&1 || { cat "$scratch/package.log"; exit 1; }
zip="$scratch/out/NetGlow-1.0.3.zip"
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$zip" ] || fail "no $zip"
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
expected="NetGlow-1.0.3/ NetGlow-1.0.3/NetGlow.chm NetGlow-1.0.3/NetGlow.exe NetGlow-1.0.3/ReadMe.txt "
[ "$listed" = "$expected" ] || fail "zip holds: $listed"
mkdir "$scratch/x"
unzip -q "$zip" -d "$scratch/x"
dir="$scratch/x/NetGlow-1.0.3"
[ "$(head -c 2 "$dir/NetGlow.exe")" = "MZ" ] || fail "NetGlow.exe is no Windows program"
[ "$(head -c 4 "$dir/NetGlow.chm")" = "ITSF" ] || fail "NetGlow.chm is no compiled help file"
build=${NETGLOW_PACKAGE_BUILD:-$source/build/package}
cmp -s "$dir/NetGlow.exe" "$build/NetGlow.exe" || fail "NetGlow.exe differs from the build"
cmp -s "$dir/NetGlow.chm" "$build/NetGlow.chm" || fail "NetGlow.chm differs from the build"
readme="$dir/ReadMe.txt"
grep -q "Npcap" "$readme" || fail "ReadMe.txt does not name Npcap"
grep -q "WinPcap API-compatible Mode" "$readme" || fail "ReadMe.txt does not name the compatible mode"
grep -q "WinPcap 4.1.3" "$readme" || fail "ReadMe.txt does not name WinPcap"
grep -q 'NetGlow keeps its settings (NetGlow.ini)' "$readme" || fail "ReadMe.txt does not name the settings file"
grep -q '%LOCALAPPDATA%\\NetGlow' "$readme" || fail "ReadMe.txt does not say where settings live"
[ "$(grep -c $'\r$' "$readme")" = "$(wc -l < "$readme")" ] || fail "ReadMe.txt lines do not end in CRLF"
echo "package ok: $listed"
