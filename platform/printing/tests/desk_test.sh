#!/usr/bin/env bash
# The print service at an ordinary desk: starts the desk sandbox (stock cupsd policy, polkitd and
# cups-pk-helper on a private system bus), holds a job of root's, and runs the desk tests as the user
# polkit grants and as one it does not, each with a pseudo-terminal attached (a password prompt on the
# terminal would hang the run until its timeout). Usage: desk_test.sh DESK_TEST_BINARY
set -u
binary=$1
here=$(cd "$(dirname "$0")" && pwd)
sandbox=$here/../../../scripts/sandbox.sh
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: the desk sandbox needs root (it adds users and runs polkitd)"
  exit 77
fi
for tool in script runuser unshare useradd /usr/lib/polkit-1/polkitd; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool (scripts/install-deps.sh)"; exit 77; }
done
ls /usr/lib/*/cups-pk-helper-mechanism >/dev/null 2>&1 || { echo "skipped: no cups-pk-helper"; exit 77; }

export PRESSWICK_SANDBOX_DIR=${PRESSWICK_DESK_DIR:-/tmp/presswick-desk.$$}
export PRESSWICK_SANDBOX_PORT=${PRESSWICK_DESK_PORT:-8651}
D=$PRESSWICK_SANDBOX_DIR
"$sandbox" start-desk || exit 1
trap '"$sandbox" stop; rm -rf "$D"' EXIT
eval "$("$sandbox" env)"

# The users may not be able to read the build tree (a clone under /root): they run a copy.
install -m 755 "$binary" "$D/desk_tests"
hold_job() {
  lp -d "$1" -H indefinite -t "Someone else's document" /etc/hostname | sed -E 's/^request id is ([^ ]+).*/\1/'
}

failed=0
run_as() { # USER ROLE QUEUE [SERVER]
  local user=$1 role=$2 job home=$D/home-$1 server=${4:-$CUPS_SERVER}
  job=$(hold_job "$3")
  mkdir -p "$home" && chown "$user" "$home"
  echo "== as $user ($role) through $server, another user's job $job"
  runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" CUPS_SERVER="$server" \
    CUPS_SERVERROOT="$CUPS_SERVERROOT" DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" \
    PRESSWICK_DESK_ROLE="$role" PRESSWICK_DESK_JOB="$job" \
    timeout 60 script -qefc "$D/desk_tests --gtest_color=no" /dev/null </dev/null || failed=1
}
run_as presswick-guest refused Hall_printer
# Over TCP the server asks for a password (no peer credentials): libcups must not ask the terminal.
run_as presswick-guest refused Hall_printer "127.0.0.1:$PRESSWICK_SANDBOX_PORT"
run_as presswick-desk granted Desk_printer
run_as presswick-desk granted Desk_printer "127.0.0.1:$PRESSWICK_SANDBOX_PORT"
# This machine by its own host name is local too: polkit, not a sign-in (when the name resolves here).
if getent hosts "$(hostname)" >/dev/null; then
  run_as presswick-desk granted Desk_printer "$(hostname):$PRESSWICK_SANDBOX_PORT"
fi

# An office print server by name: in a mount namespace of the run, that name points at the sandbox. It
# asks for the password of an administrator (group lpadmin), one made for this run with a fresh password.
admin=presswick-admin
password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
id "$admin" >/dev/null 2>&1 ||
  useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin -G lpadmin "$admin"
echo "$admin:$password" | chpasswd
printf '127.0.0.1 localhost office-server.test\n' >"$D/hosts"
chmod 644 "$D/hosts"
echo "== as presswick-guest (office) through office-server.test:$PRESSWICK_SANDBOX_PORT"
unshare --mount --propagation private sh -c "mount --bind '$D/hosts' /etc/hosts && exec runuser -u presswick-guest -- \
  env -i PATH=/usr/bin:/bin HOME='$D/home-presswick-guest' CUPS_SERVER='office-server.test:$PRESSWICK_SANDBOX_PORT' \
  CUPS_SERVERROOT='$CUPS_SERVERROOT' PRESSWICK_DESK_ROLE=office PRESSWICK_DESK_ADMIN=$admin \
  PRESSWICK_DESK_PASSWORD='$password' timeout 60 script -qefc '$D/desk_tests --gtest_color=no' /dev/null" \
  </dev/null || failed=1
passwd -l "$admin" >/dev/null
exit $failed
