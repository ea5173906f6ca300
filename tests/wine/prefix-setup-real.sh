#!/bin/bash
# Prefix "real": Wine's own wpcap.dll (no test double) in a Windows-like
# environment, for the tests that discover this machine's adapters.
#   prefix-setup-real.sh NAME BUILDDIR   (run by prefix-setup.sh)
set -eu
exec "$(dirname "$0")/../../scripts/winelike-env.sh" "$WINEPREFIX" "$2"
