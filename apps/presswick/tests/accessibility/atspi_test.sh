#!/usr/bin/env bash
# Runs atspi_test.py against the real program under a private X server (Xvfb) and a private session
# bus with its own accessibility bus, as a screen reader would meet it. KORA_UI_DUMP_DIR keeps the dumps.
set -u
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb dbus-run-session /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is missing"; exit 77; }
work=$(mktemp -d /tmp/presswick-atspi.XXXXXX)
xvfb=""
cleanup() { [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
export HOME=$work XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -m 700 "$XDG_RUNTIME_DIR"
# A display number of our own: the first one without a lock.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1400x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 NO_AT_BRIDGE=0
dumps=${KORA_UI_DUMP_DIR:-$work}
dbus-run-session -- bash -c '
  # Assistive technology is on, as a desktop with a screen reader running says it is.
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
    string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null || exit 1
  exec /usr/bin/python3 "$0" "$1" "$2"' "$here/atspi_test.py" "$bin" "$dumps" 2> >(grep -v -e '^dbus-daemon' -e 'SpiRegistry daemon' >&2)
