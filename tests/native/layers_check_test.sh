#!/bin/bash
# layers_check.sh on small made-up trees: a chain of units passes, a circle of
# three units (closed through a .cpp and the .h of another unit) is reported
# with its units, and so is an include up the layers.
set -u
check=$(dirname "$0")/layers_check.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# tree NAME <<< "FILE INCLUDE...", one file a line.
tree() {
  local file includes include
  while read -r file includes; do
    mkdir -p "$work/$1/${file%/*}"
    : >"$work/$1/$file"
    for include in $includes; do echo "#include \"$include\"" >>"$work/$1/$file"; done
  done
}
# expect NAME EXIT-STATUS OUTPUT
expect() {
  local output status
  output=$(bash "$check" "$work/$1")
  status=$?
  if [ "$status" != "$2" ] || [ "$output" != "$3" ]; then
    printf '%s: exit %s, expected %s; output:\n%s\nexpected:\n%s\n' "$1" "$status" "$2" "$output" "$3"
    failed=1
  fi
}

tree chain <<'EOF'
monitor/a.cpp monitor/a.h monitor/b.h
monitor/a.h
monitor/b.h monitor/c.h
monitor/c.cpp monitor/c.h core/x.h
monitor/c.h
core/x.h
EOF
expect chain 0 "layers hold"

tree circle <<'EOF'
monitor/a.cpp monitor/a.h monitor/b.h
monitor/a.h
monitor/b.h monitor/c.h
monitor/c.cpp monitor/c.h monitor/a.h
monitor/c.h
EOF
expect circle 1 "include circle: monitor/a, monitor/b, monitor/c"

tree up <<'EOF'
core/y.h dialogs/z.h
EOF
expect up 1 "core/y.h includes dialogs/z.h"

[ $failed = 0 ] && echo "the layer check finds what it must"
exit $failed
