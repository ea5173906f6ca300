# Sourced by the scripts that run Windows programs of a build tree under Wine
# (scripts/test.sh, scripts/bench-wine.sh, scripts/bench-network.sh), so that
# whatever their runs started is ended on every way out: the end, a failing
# step under set -e, Ctrl-C, TERM or HUP.
#   end_wine_on_exit BUILD     installs the traps for the build tree BUILD
# A step that may run long is better started in the background and awaited
# (`STEP & wait $!`): bash takes a signal only between foreground commands,
# and TERM sent to the script alone does not reach its children.

# Whatever the Wine runs of the build tree $1 started: the server of each of
# its prefixes (with every Wine process of that prefix) and the Xvfb that
# $1/wine-run noted beside its display. Found by this tree's own files, never
# by process name alone: other trees may be testing at the same time.
end_wine() {
  local root=$1/wine prefix pid
  for prefix in "$root"/*/; do
    [ -f "$prefix/system.reg" ] || continue
    prefix=$(cd "$prefix" && pwd)
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix timeout 30 wineserver -w 2>/dev/null || true
  done
  if [ -s "$root/xvfb.display" ] && [ -s "$root/xvfb.pid" ]; then
    pid=$(cat "$root/xvfb.pid")
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do [ -d "/proc/$pid" ] || break; sleep 0.1; done
    fi
    rm -f "$root/xvfb.display" "$root/xvfb.pid"
  fi
}

# Sets wine_cleanup_pids to the living processes descended from process $1,
# and wine_cleanup_children to those of them that are its children.
wine_cleanup_descendants() {
  local -A parent=()
  local stat line rest id queue=("$1")
  for stat in /proc/[0-9]*/stat; do
    read -r line 2>/dev/null <"$stat" || continue
    rest=${line##*) } # "STATE PPID ...": the name before it may hold anything
    [ "${rest%% *}" != Z ] || continue
    rest=${rest#* }
    id=${stat#/proc/}
    parent[${id%/stat}]=${rest%% *}
  done
  wine_cleanup_pids=()
  wine_cleanup_children=()
  while [ ${#queue[@]} -gt 0 ]; do
    for id in "${!parent[@]}"; do
      if [ "${parent[$id]}" = "${queue[0]}" ]; then
        wine_cleanup_pids+=("$id")
        queue+=("$id")
        [ "${queue[0]}" != "$1" ] || wine_cleanup_children+=("$id")
      fi
    done
    queue=("${queue[@]:1}")
  done
}

# Ends the processes this script started that are still running. Its
# children get TERM and a minute for their own clean-up (wine-run
# --private-network then ends everything in its namespace); whatever of
# theirs is left after that gets KILL.
end_children() {
  wine_cleanup_descendants $$
  [ ${#wine_cleanup_children[@]} -gt 0 ] || return 0
  kill -TERM "${wine_cleanup_children[@]}" 2>/dev/null
  for _ in $(seq 600); do
    wine_cleanup_descendants $$
    [ ${#wine_cleanup_pids[@]} -gt 0 ] || return 0
    sleep 0.1
  done
  kill -KILL "${wine_cleanup_pids[@]}" 2>/dev/null
}

end_wine_on_exit() {
  case $1 in /*) wine_cleanup_build=$1 ;; *) wine_cleanup_build=$PWD/$1 ;; esac
  trap 'wine_cleanup_status=$?; set +e; trap - INT TERM HUP; end_children; end_wine "$wine_cleanup_build"; exit $wine_cleanup_status' EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  trap 'exit 129' HUP
}
