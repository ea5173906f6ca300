#!/bin/bash
# Prefix "follow": as prefix "bare", for the adapters of a private network
# namespace (wine-run --private-network), which no registry entry names.
#   prefix-setup-follow.sh NAME BUILDDIR   (run by prefix-setup.sh)
set -eu
exec "$(dirname "$0")/prefix-setup-bare.sh" "$@"
