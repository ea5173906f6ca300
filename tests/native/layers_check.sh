#!/bin/bash
# The folders are layers: a file may include its own folder and the layers
# below it, never a layer above nor a sibling. Prints every include that runs
# against them and fails if there is one.
set -u
root=${1:-$(dirname "$0")/../..}
rank() {
  case $1 in
    res) echo 0 ;; core) echo 1 ;; adapters|tray) echo 2 ;;
    monitor) echo 3 ;; dialogs) echo 4 ;; app) echo 5 ;; *) echo -1 ;;
  esac
}
bad=0
for from in res core adapters tray monitor dialogs app; do
  for file in "$root/$from"/*.cpp "$root/$from"/*.h; do
    [ -e "$file" ] || continue
    while IFS= read -r target; do
      to=${target%%/*}
      [ "$(rank "$to")" -ge 0 ] || continue
      if [ "$to" != "$from" ] && [ "$(rank "$to")" -ge "$(rank "$from")" ]; then
        echo "$from/${file##*/} includes $target"
        bad=1
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file")
  done
done
[ $bad = 0 ] && echo "layers hold"
exit $bad
