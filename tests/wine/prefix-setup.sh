#!/bin/bash
# One-time set-up of a fresh test prefix: every program runs inside a Wine
# virtual desktop named "shell", which has a taskbar and a notification area,
# and text files open in Notepad as on Windows (Wine leaves .txt unassociated).
set -eu
NAME=$1
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="shell"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"shell"="1024x768"

[HKEY_CLASSES_ROOT\.txt]
@="txtfile"
"Content Type"="text/plain"
REG
wine regedit /S "$reg"
hook="$(dirname "$0")/prefix-setup-$NAME.sh"
if [ -x "$hook" ]; then "$hook" "$@"; fi
