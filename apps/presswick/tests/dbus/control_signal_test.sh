#!/usr/bin/env bash
# control_signal_test.sh HOST PRESSWICK_ACTIONS: a pressed control that invokes its own id is offered on
# the bus as ControlInvoked(control_id, -1). Runs on a private session bus.
set -u
if [ "${PRESSWICK_ACTIONS_TEST_BUS:-}" != 1 ]; then
  PRESSWICK_ACTIONS_TEST_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
HOST=$1
ACTIONS=$2
WORK=$(mktemp -d /tmp/presswick-signal-test.XXXXXX)
host=""
monitor=""
cleanup() {
  [ -n "$monitor" ] && kill "$monitor" 2>/dev/null
  [ -n "$host" ] && kill "$host" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

"$HOST" >"$WORK/host.log" 2>&1 &
host=$!
for _ in $(seq 100); do grep -q serving "$WORK/host.log" && break; sleep 0.1; done
if ! grep -q serving "$WORK/host.log"; then
  echo "FAIL: the host did not come onto the bus:" >&2
  cat "$WORK/host.log" >&2
  exit 1
fi
dbus-monitor --session "type='signal',interface='org.kora.Actions1',member='ControlInvoked'" >"$WORK/monitor" 2>/dev/null &
monitor=$!
sleep 0.5
"$ACTIONS" invoke kora.control:presswick.help invoke || { echo "FAIL: invoke exited $?" >&2; exit 1; }
for _ in $(seq 100); do
  if grep -A2 ControlInvoked "$WORK/monitor" | grep -q 'string "presswick.help"' &&
    grep -A2 ControlInvoked "$WORK/monitor" | grep -q 'int64 -1'; then
    echo "ok: ControlInvoked(presswick.help, -1)"
    exit 0
  fi
  sleep 0.1
done
echo "FAIL: no ControlInvoked signal; the monitor saw:" >&2
cat "$WORK/monitor" >&2
exit 1
