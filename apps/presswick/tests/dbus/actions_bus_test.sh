#!/usr/bin/env bash
# actions_bus_test.sh PRESSWICK PRESSWICK_ACTIONS: runs Presswick live (offscreen) on a private session
# bus against the private print system, and drives it through presswick-actions and plain D-Bus calls
# (gdbus): the interfaces Qt derives from the adaptors, named errors, org.freedesktop.Application, and
# a second start that raises the first window instead of opening another.
set -u
if [ "$#" -ne 2 ]; then
  echo "usage: $0 PRESSWICK PRESSWICK_ACTIONS" >&2
  exit 2
fi
if [ -z "${CUPS_SERVER:-}" ]; then
  echo "SKIP: CUPS_SERVER is not set; start the private print system first:" \
    "scripts/sandbox.sh start && eval \"\$(scripts/sandbox.sh env)\"" >&2
  exit 77
fi
# A bus of our own: nothing else on the user's session bus is touched.
if [ "${PRESSWICK_ACTIONS_TEST_BUS:-}" != 1 ]; then
  PRESSWICK_ACTIONS_TEST_BUS=1 exec dbus-run-session -- "$0" "$@"
fi

PRESSWICK=$1
ACTIONS=$2
QUEUE=Studio_printer
HEX=$(printf '%s' "$QUEUE" | od -An -tx1 | tr -d ' \n')
CHILD="presswick.printer.$HEX"
WORK=$(mktemp -d /tmp/presswick-actions-test.XXXXXX)
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ]; then
  export XDG_RUNTIME_DIR=$WORK/xdg
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi
failures=0
app=""

cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
  # Whatever happened, the queue is left as the sandbox made it.
  cupsenable "$QUEUE" 2>/dev/null
  cupsaccept "$QUEUE" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# waitfor DESCRIPTION COMMAND: up to 20 s.
waitfor() {
  for _ in $(seq 200); do
    eval "$2" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "timed out waiting for $1"
  return 1
}

# expect_call DESCRIPTION EXIT STDERR-PREFIX ARGS...: one invocation, its exit status and message.
expect_call() {
  local what=$1 want_rc=$2 want_err=$3
  shift 3
  "$ACTIONS" "$@" >"$WORK/out" 2>"$WORK/err"
  local rc=$?
  local err
  err=$(cat "$WORK/err")
  if [ "$rc" -ne "$want_rc" ]; then
    fail "$what: exit $rc, expected $want_rc (stderr: $err)"
  elif [ -n "$want_err" ] && [[ "$err" != "$want_err"* ]]; then
    fail "$what: stderr \"$err\", expected it to begin \"$want_err\""
  else
    pass "$what"
  fi
}

listing() { "$ACTIONS" list 2>/dev/null; }
# gdbus_call METHOD ARGS...: one call on Presswick's object; the reply or "Error: ..." in $WORK/gdbus.
gdbus_call() {
  gdbus call --session --dest org.kora.presswick --object-path /org/kora/presswick --method "$@" \
    >"$WORK/gdbus" 2>&1
}
# The action lines under one resource of the readable listing.
actions_of() {
  listing | awk -v id="$1" '
    $1 == id { inside = 1; next }
    inside && $1 == "-" { print; next }
    inside { exit }'
}

"$ACTIONS" list >/dev/null 2>"$WORK/err"
if [ $? -ne 2 ] || ! grep -q "not running" "$WORK/err"; then
  fail "before the start, list says Presswick is not running with exit 2"
else
  pass "not running: exit 2"
fi

"$PRESSWICK" >"$WORK/presswick.log" 2>&1 &
app=$!
waitfor "the bus name" "'$ACTIONS' list" || { cat "$WORK/presswick.log" >&2; exit 1; }
pass "Presswick exports its resources"

# 1. The printer's child resource and its actions (Studio_printer is the preferred one: no set-default).
waitfor "child $CHILD" "listing | grep -q '^ *$CHILD  \"Studio printer\"  \[presswick.printer\]'"
actions_of "$CHILD" >"$WORK/child"
if grep -q -- '- open: Open printer (view)' "$WORK/child" &&
  grep -q -- '- toggle-enabled: Pause printer (task)' "$WORK/child" &&
  ! grep -q 'set-default' "$WORK/child"; then
  pass "child $CHILD offers open and toggle-enabled (Pause printer)"
else
  fail "child $CHILD actions: $(cat "$WORK/child")"
fi
"$ACTIONS" list --json >"$WORK/tree.json"
payload=$(jq -r --arg id "$CHILD" '.. | objects | select(.id? == $id) | .actions[] |
  select(.id == "toggle-enabled") | .payload' "$WORK/tree.json" | od -An -c | tr -s ' ' | tr -d '\n')
if [[ "$payload" == *"p a u s e \\0 S t u d i o _ p r i n t e r"* ]]; then
  pass "the JSON tree carries the payload pause NUL $QUEUE"
else
  fail "payload of toggle-enabled: $payload"
fi

# 2. Pause through the action, seen in CUPS; then resume again.
expect_call "invoke $CHILD toggle-enabled (pause)" 0 "" invoke "$CHILD" toggle-enabled
waitfor "lpstat to show $QUEUE disabled" "lpstat -p '$QUEUE' | grep -q disabled" && pass "CUPS: $QUEUE paused"
waitfor "the child to offer Resume printer" "actions_of '$CHILD' | grep -q 'toggle-enabled: Resume printer'" &&
  pass "after the refresh the child offers Resume printer"
expect_call "invoke $CHILD toggle-enabled (resume)" 0 "" invoke "$CHILD" toggle-enabled
waitfor "lpstat to show $QUEUE enabled" "lpstat -p '$QUEUE' | grep -q enabled" && pass "CUPS: $QUEUE resumed"
waitfor "the child to offer Pause printer again" "actions_of '$CHILD' | grep -q 'toggle-enabled: Pause printer'"

# 3. The dashboard's Refresh button by its control resource.
waitfor "the Refresh control" "listing | grep -q '^kora.control:presswick.refresh '"
expect_call "invoke kora.control:presswick.refresh invoke" 0 "" invoke kora.control:presswick.refresh invoke
waitfor "the dashboard back after the refresh" "listing | grep -q '^kora.control:presswick.refresh '" &&
  pass "the dashboard is back after the refresh"

# 4. The scan view and its resolution control: 600 dpi is segment 2.
expect_call "invoke presswick scan-document" 0 "" invoke presswick scan-document
waitfor "the resolution control" "listing | grep -q '^kora.control:presswick.scan.resolution '"
expect_call "select 600 dpi" 0 "" invoke kora.control:presswick.scan.resolution select --index 2
waitfor "the resolution control to show 600 dpi" \
  "listing | grep -q '^kora.control:presswick.scan.resolution  \"600 dpi\"  \[kora.control.segmented\]'" &&
  pass "the resolution control shows 600 dpi"
expect_call "select needs --index" 2 "presswick-actions: select needs --index N" \
  invoke kora.control:presswick.scan.resolution select

# 5. The four failure messages, verbatim, and what is not handled.
expect_call "argument that is not a JSON string" 1 "invalid Presswick operation: " \
  call 1 presswick.operation refresh
expect_call "unknown kind" 1 "unknown Presswick operation" call 1 presswick.operation '"frobnicate"'
expect_call "wrong execution kind" 1 "Presswick operation has the wrong execution kind" \
  call 2 presswick.operation '"refresh"'
expect_call "kind without its target" 1 "Presswick resource is no longer available" \
  call 2 presswick.operation '"device"'
expect_call "another operation id" 2 "" call 1 presswick.refresh '"refresh"'
expect_call "execution kind 0" 2 "" call 0 presswick.operation '"refresh"'
expect_call "unknown resource" 2 "presswick-actions: no resource presswick.job.00 is offered" \
  invoke presswick.job.00 cancel
expect_call "malformed command line" 2 "presswick-actions: unknown command lst" lst

# 6. The bus shape: versioned interface with typed arguments, failures as named D-Bus errors.
gdbus introspect --session --dest org.kora.presswick --object-path /org/kora/presswick >"$WORK/introspection" 2>&1
if grep -q 'interface org.kora.Actions1 {' "$WORK/introspection" &&
  grep -q 'interface org.freedesktop.Application {' "$WORK/introspection" &&
  grep -q 'Invoke(in  y execution_kind,' "$WORK/introspection" &&
  grep -q 'ControlInvoked(s control_id,' "$WORK/introspection"; then
  pass "introspection shows org.kora.Actions1 and org.freedesktop.Application with typed arguments"
else
  fail "introspection: $(cat "$WORK/introspection")"
fi
# gdbus reads GVariant text: '"refresh"' in single quotes is the JSON string "refresh".
gdbus_call org.kora.Actions1.Invoke 2 presswick.operation "'\"refresh\"'"
grep -q 'org.kora.Actions1.Error.Failed: Presswick operation has the wrong execution kind' "$WORK/gdbus" &&
  pass "a failed invocation is the error org.kora.Actions1.Error.Failed with its message" ||
  fail "failed invocation: $(cat "$WORK/gdbus")"
gdbus_call org.kora.Actions1.Invoke 1 presswick.refresh "'\"refresh\"'"
grep -q 'org.kora.Actions1.Error.NotHandled' "$WORK/gdbus" &&
  pass "an operation nobody handles is org.kora.Actions1.Error.NotHandled" ||
  fail "not handled: $(cat "$WORK/gdbus")"
# A caller's long operation id comes back cut to its first 200 bytes, not whole.
long_id=$(head -c 100000 /dev/zero | tr '\0' x)
gdbus_call org.kora.Actions1.Invoke 1 "$long_id" "'\"refresh\"'"
grep -q 'org.kora.Actions1.Error.NotHandled: x\{200\}… is not handled here' "$WORK/gdbus" &&
  [ "$(wc -c <"$WORK/gdbus")" -lt 1000 ] && pass "an echoed operation id is cut to 200 bytes" ||
  fail "long operation id: $(head -c 300 "$WORK/gdbus")"
dbus-send --session --print-reply --dest=org.kora.presswick /org/kora/presswick org.kora.Actions1.Invoke \
  string:refresh >"$WORK/dbus-send" 2>&1
grep -q '^Error org.freedesktop.DBus.Error' "$WORK/dbus-send" && pass "arguments of the wrong types are refused" ||
  fail "wrong argument types: $(cat "$WORK/dbus-send")"

# 7. org.freedesktop.Application: an action by name, an unknown one, and Activate.
# The scan view is shown (4.): back to the dashboard, whose Refresh button is then offered, and on to the
# queue, where it is not.
refresh_button_shown() {
  local tree
  tree=$(listing) && [[ "$tree" == presswick* ]] && grep -q '^kora.control:presswick.refresh ' <<<"$tree"
}
refresh_button_gone() {
  local tree
  tree=$(listing) && [[ "$tree" == presswick* ]] && ! grep -q '^kora.control:presswick.refresh ' <<<"$tree"
}
gdbus_call org.freedesktop.Application.ActivateAction open-dashboard '[]' '{}' ||
  fail "ActivateAction open-dashboard: $(cat "$WORK/gdbus")"
waitfor "the dashboard after ActivateAction open-dashboard" refresh_button_shown &&
  pass "ActivateAction open-dashboard shows the dashboard"
gdbus_call org.freedesktop.Application.ActivateAction open-queue '[]' '{}' ||
  fail "ActivateAction open-queue: $(cat "$WORK/gdbus")"
waitfor "the queue after ActivateAction open-queue" refresh_button_gone &&
  pass "ActivateAction open-queue shows the queue"
gdbus_call org.freedesktop.Application.ActivateAction no-such-action '[]' '{}'
grep -q 'org.kora.Actions1.Error.NotHandled' "$WORK/gdbus" && pass "an unknown action name is NotHandled" ||
  fail "unknown action: $(cat "$WORK/gdbus")"
gdbus_call org.freedesktop.Application.Activate '{}' && pass "Activate" || fail "Activate: $(cat "$WORK/gdbus")"

# 8. A second start raises the first window and ends at once; the first keeps the name.
timeout 20 "$PRESSWICK" >"$WORK/second.log" 2>&1
rc=$?
if [ $rc -eq 0 ] && grep -q "already running: its window was raised" "$WORK/second.log" &&
  "$ACTIONS" list >/dev/null 2>&1; then
  pass "a second start raises the running window and ends"
else
  fail "second start: exit $rc, $(cat "$WORK/second.log")"
fi

if ! kill -0 "$app" 2>/dev/null; then
  fail "Presswick ended during the test"
  cat "$WORK/presswick.log" >&2
fi
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed; Presswick's output:" >&2
  cat "$WORK/presswick.log" >&2
  exit 1
fi
echo "all checks passed"
