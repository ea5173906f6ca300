#!/bin/bash
# Prefix "bare": a registry as a fresh Windows has it, with the network class
# key (Wine's own prefix lacks it) but no connection name for any adapter.
#   prefix-setup-bare.sh NAME BUILDDIR   (run by prefix-setup.sh)
set -eu
wine reg add 'HKLM\SYSTEM\ControlSet001\Control\Network\{4D36E972-E325-11CE-BFC1-08002BE10318}' /f \
  </dev/null >/dev/null 2>&1
