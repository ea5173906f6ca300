#!/bin/bash
# Prefix "capture": the Windows-like environment of prefix "real", where
# wine-run installs the demo forwarder to Wine's own wpcap.dll as Npcap's,
# for the end-to-end run on real loopback traffic.
#   prefix-setup-capture.sh NAME BUILDDIR   (run by prefix-setup.sh)
set -eu
exec "$(dirname "$0")/../../scripts/winelike-env.sh" "$WINEPREFIX" "$2"
