#!/bin/bash
# Installs with apt-get whatever of the build and test tools is missing.
set -eu
need=()
have() { command -v "$1" >/dev/null 2>&1; }
pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
have cmake || need+=(cmake)
have ninja || need+=(ninja-build)
have g++ || need+=(g++)
have python3 || need+=(python3)
have x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
have wine || need+=(wine)
pkg wine64 || need+=(wine64)
have Xvfb || need+=(xvfb)
have xdpyinfo || need+=(x11-utils)
have import || need+=(imagemagick)
have tcpdump || need+=(tcpdump)
have chmcmd || need+=(fp-utils)
have clang++ || need+=(clang)
have zip || need+=(zip)
have makensis || need+=(nsis)
have unzip || need+=(unzip)
have xxd || need+=(xxd)
# The winget manifests' check reads YAML with Debian's interpreter when the
# one on the path lacks it.
python3 -c 'import yaml' 2>/dev/null || /usr/bin/python3 -c 'import yaml' 2>/dev/null || need+=(python3-yaml)
[ -f /usr/include/pcap/pcap.h ] || need+=(libpcap-dev)
[ -d /usr/src/googletest/googletest ] || need+=(googletest)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
pkg libclang-rt-14-dev || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  SUDO=; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${need[@]}"
fi
