#!/bin/sh
# Compiles the staged help project into NetGlow.chm.
#   build_chm.sh CHMCMD STAGE_DIR
# chmcmd writes the context-number targets as the topic's full path on the
# build machine; compiled with the stage as the root directory, that path is
# the topic's own name inside the file. Without user namespaces the file is
# compiled in place and its context numbers point nowhere (the tests say so).
set -eu
chmcmd=$1
stage=$(cd "$2" && pwd)
if unshare -r -m true 2>/dev/null; then
  for dir in /usr /lib /lib32 /lib64 /bin /etc; do
    [ -e "$dir" ] || continue
    if [ -L "$dir" ]; then
      ln -sfn "$(readlink "$dir")" "$stage$dir"
    else
      mkdir -p "$stage$dir"
    fi
  done
  unshare -r -m sh -c '
    stage=$1; chmcmd=$2
    for dir in /usr /lib /lib32 /lib64 /bin /etc; do
      if [ -d "$dir" ] && [ ! -L "$dir" ]; then mount --rbind "$dir" "$stage$dir"; fi
    done
    exec chroot "$stage" /bin/sh -c "cd / && \"$chmcmd\" --no-html-scan NetGlow.hhp"
  ' sh "$stage" "$chmcmd"
else
  echo "build_chm.sh: no user namespaces; context numbers will hold build paths" >&2
  cd "$stage" && "$chmcmd" --no-html-scan NetGlow.hhp
fi
test -s "$stage/NetGlow.chm"
