#!/usr/bin/env bash
# Starts what the build has to offer: the window when there is a display,
# otherwise the command-line tool against the virtual instrument.
set -uo pipefail
build=${1:-build}

if [ -x "$build/src/ui/velnor" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$build/src/ui/velnor"
fi
if [ -x "$build/src/ui/velnor" ]; then
  echo "velnor needs a display (none found: DISPLAY and WAYLAND_DISPLAY are unset)."
  echo "Try it under Xvfb:  xvfb-run $build/src/ui/velnor"
fi
if [ -x "$build/src/cli/velnor-cli" ]; then
  echo "velnor-cli slots (against the virtual instrument):"
  exec "$build/src/cli/velnor-cli" slots
fi
echo "Built. Nothing to run yet: see '$build' for the libraries and 'make test' for the tests."
