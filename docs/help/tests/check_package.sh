#!/bin/bash
# Runs scripts/package.sh into a scratch folder and checks the zip, the
# installer and SHA256SUMS it wrote (packaging/tests/check_winget.py checks
# its winget manifests).
#   check_package.sh SOURCE_DIR SCRATCH_DIR BUILD_DIR VERSION RELEASE_URL
set -euo pipefail
source=$1
scratch=$2
export NETGLOW_PACKAGE_BUILD=$3
version=$4
release_url=$5
if ! command -v makensis >/dev/null; then
  echo "SKIPPED: makensis is not installed (Debian package nsis, scripts/deps.sh): package.sh cannot pack the installer"
  exit 0
fi
rm -rf "$scratch"
mkdir -p "$scratch/out"
"$source/scripts/package.sh" "$scratch/out" "$release_url" > "$scratch/package.log" 2>&1 \
  || { cat "$scratch/package.log"; exit 1; }
name=NetGlow-$version
out=$scratch/out
fail() { echo "FAIL: $*"; exit 1; }

zip="$out/$name.zip"
[ -f "$zip" ] || fail "no $zip"
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
expected="$name/ $name/NetGlow.chm $name/NetGlow.exe $name/ReadMe.txt "
[ "$listed" = "$expected" ] || fail "zip holds: $listed"
mkdir "$scratch/x"
unzip -q "$zip" -d "$scratch/x"
dir="$scratch/x/$name"
[ "$(head -c 2 "$dir/NetGlow.exe")" = "MZ" ] || fail "NetGlow.exe is no Windows program"
[ "$(head -c 4 "$dir/NetGlow.chm")" = "ITSF" ] || fail "NetGlow.chm is no compiled help file"
build=$NETGLOW_PACKAGE_BUILD
cmp -s "$dir/NetGlow.exe" "$build/NetGlow.exe" || fail "NetGlow.exe differs from the build"
cmp -s "$dir/NetGlow.chm" "$build/NetGlow.chm" || fail "NetGlow.chm differs from the build"
readme="$dir/ReadMe.txt"
grep -q "^Version $version"$'\r'"\$" "$readme" || fail "ReadMe.txt does not name version $version"
# What to install, word for word: the heading and the paragraph under it.
capture_advice='Before you start
----------------
NetGlow reads packets through the packet-capture driver Npcap. Install
it first, from https://npcap.com/#download. Its option "Install Npcap
in WinPcap API-compatible Mode" is not needed: NetGlow looks for
wpcap.dll in Npcap'"'"'s own folder (System32\Npcap) first, then in
System32. On older Windows, WinPcap 4.1.3 serves as well.'
said=$(tr -d '\r' < "$readme" | sed -n '/^Before you start/,/^$/p')
[ "$said" = "$capture_advice" ] || fail "ReadMe.txt says before you start: $said"
grep -q 'NetGlow keeps its settings (NetGlow.ini)' "$readme" || fail "ReadMe.txt does not name the settings file"
grep -q '%LOCALAPPDATA%\\NetGlow' "$readme" || fail "ReadMe.txt does not say where settings live"
[ "$(grep -c $'\r$' "$readme")" = "$(wc -l < "$readme")" ] || fail "ReadMe.txt lines do not end in CRLF"

setup="$out/$name-setup.exe"
[ -f "$setup" ] || fail "no $setup"
cmp -s "$setup" "$build/$name-setup.exe" || fail "the installer differs from the build's"
# A 64-bit program: "PE\0\0", then the machine 0x8664 (AMD64).
pe=$(od -An -tu4 -j60 -N4 "$setup" | tr -d ' ')
[ "$(od -An -tx1 -j"$pe" -N6 "$setup" | tr -d ' ')" = "504500006486" ] || fail "the installer is no 64-bit program"

[ "$(cut -c67- "$out/SHA256SUMS" | tr '\n' ' ')" = "$name.zip $name-setup.exe " ] \
  || fail "SHA256SUMS lists: $(cut -c67- "$out/SHA256SUMS" | tr '\n' ' ')"
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
echo "package ok: $listed$name-setup.exe SHA256SUMS"
