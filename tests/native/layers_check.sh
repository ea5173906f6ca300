#!/bin/bash
# The folders are layers: a file may include its own folder and the layers
# below it, never a layer above nor a sibling. And no include circle, of any
# length, between units: a .cpp and the .h of the same name in the same
# folder are one unit (monitor/capture_win), so that each can be understood,
# tested and moved on its own. Prints every include that runs against the
# layers and every circle with its units, and fails if there is one.
set -u
root=${1:-$(dirname "$0")/../..}
rank() {
  case $1 in
    res) echo 0 ;; core) echo 1 ;; adapters|tray) echo 2 ;;
    monitor) echo 3 ;; dialogs) echo 4 ;; app) echo 5 ;; *) echo -1 ;;
  esac
}
bad=0
edges=""
for from in res core adapters tray monitor dialogs app; do
  for file in "$root/$from"/*.cpp "$root/$from"/*.h; do
    [ -e "$file" ] || continue
    name=${file##*/}
    unit=$from/${name%.*}
    while IFS= read -r target; do
      to=${target%%/*}
      [ "$(rank "$to")" -ge 0 ] || continue
      if [ "$to" != "$from" ] && [ "$(rank "$to")" -ge "$(rank "$from")" ]; then
        echo "$from/$name includes $target"
        bad=1
      fi
      [ "${target%.*}" = "$unit" ] || edges+="$unit ${target%.*}"$'\n'
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
  done
done
# tsort names the units of each circle it meets, one per line after a line
# that says it found one; anything else it says is a fault of this check,
# shown as it is.
circles=$(printf '%s' "$edges" | LC_ALL=C tsort 2>&1 >/dev/null | awk '
  function close_circle() { if (units != "") print "include circle: " units; units = "" }
  /^tsort: -: input contains a loop:$/ { close_circle(); inside = 1; next }
  inside && /^tsort: [^ :]+$/ { sub(/^tsort: /, ""); units = units == "" ? $0 : units ", " $0; next }
  { close_circle(); inside = 0; print }
  END { close_circle() }')
if [ -n "$circles" ]; then
  echo "$circles"
  bad=1
fi
[ $bad = 0 ] && echo "layers hold"
exit $bad
