#!/usr/bin/env bash
# Starts Presswick (called by `make run` and `make demo`, which build first).
# --sandbox: always start the private print system (scripts/sandbox.sh) and point Presswick at it.
# Without a display the window is rendered to build/screenshots/ instead.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
binary="$BUILD/bin/presswick"
[ -x "$binary" ] || { echo "run.sh: $binary is missing; run make build first" >&2; exit 1; }

want_sandbox=0
[ "${1:-}" = "--sandbox" ] && want_sandbox=1
if [ $want_sandbox = 0 ] && ! lpstat -r 2>/dev/null | grep -q "is running"; then
  [ -x scripts/sandbox.sh ] && want_sandbox=1 && echo "No print service is running here: starting a private one with a sample printer."
fi
if [ $want_sandbox = 1 ]; then
  if [ -x scripts/sandbox.sh ] && scripts/sandbox.sh start; then
    eval "$(scripts/sandbox.sh env)"
    trap 'scripts/sandbox.sh stop' EXIT
    echo "Using the private print system (stopped again when Presswick closes)."
  else
    echo "run.sh: the private print system did not start; running against the system's print service" >&2
  fi
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  out="$BUILD/screenshots"
  mkdir -p "$out"
  echo "No desktop session: rendering the window to pictures instead."
  "$binary" --screenshot "$out/presswick.png"
  for surface in empty narrow; do
    "$binary" --surface "$surface" --screenshot "$out/$surface.png"
  done
  echo "Pictures are in $out/: $(cd "$out" && ls *.png | tr '\n' ' ')"
  exit 0
fi
"$binary"
