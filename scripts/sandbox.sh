#!/usr/bin/env bash
# sandbox.sh start|stop|env|status: a private, real print system for tests and for trying Presswick
# without printers. Everything lives under one directory, ${PRESSWICK_SANDBOX_DIR:-/tmp/presswick-sandbox}:
#   a cupsd on 127.0.0.1:${PRESSWICK_SANDBOX_PORT:-8631} (and DIR/cups.sock) with its own configuration,
#   spool (job files kept) and logs; two virtual IPP Everywhere printers (ippeveprinter on the two
#   following ports) as queues "Studio_printer" (the default, reports ink levels) and "Office_laser";
#   SANE's test backend through DIR/sane.d; and, when the machine has no D-Bus system bus with avahi,
#   a private dbus-daemon and avahi-daemon limited to loopback (ippeveprinter needs DNS-SD).
#   eval "$(scripts/sandbox.sh env)" points libcups, libsane and DNS-SD at it.
# Per-user printer settings stay inside the sandbox: libcups 2.4 keeps them in $CUPS_SERVERROOT/lpoptions
# for root and in $HOME/.cups/lpoptions for everyone else, so `env` points CUPS_SERVERROOT at DIR/client
# and PRESSWICK_CUPS_USERCONFIG at DIR/user, which the print service uses instead of ~/.cups.
# `stop` ends only the processes `start` recorded in DIR; `start` first cleans up a stale sandbox.
# `start-desk` (root only) is the print system of an ordinary desk instead: cupsd with the stock Debian
# configuration and policy (administration needs group lpadmin), two queues whose devices are absent,
# the unprivileged users presswick-desk and presswick-guest, and a private D-Bus system bus with polkitd
# and cups-pk-helper, where a polkit rule of the sandbox grants presswick-desk (not presswick-guest) the
# printing administration actions. No DNS-SD, so it runs beside a default sandbox (give it another
# PRESSWICK_SANDBOX_DIR and PRESSWICK_SANDBOX_PORT).
set -u
D=${PRESSWICK_SANDBOX_DIR:-/tmp/presswick-sandbox}
CUPS_PORT=${PRESSWICK_SANDBOX_PORT:-8631}
STUDIO_PORT=$((CUPS_PORT + 1))
OFFICE_PORT=$((CUPS_PORT + 2))
DAEMONS="ippeveprinter-office ippeveprinter-studio cupsd avahi polkitd dbus"

alive() { [ -e "/proc/$1" ] && ! grep -qE '^[0-9]+ \(.*\) Z' "/proc/$1/stat" 2>/dev/null; }
add_studio_queue() {
  lpadmin -p Studio_printer -E -v "ipp://localhost:$STUDIO_PORT/ipp/print" -m everywhere \
    -D "Studio Printer" -L "Studio" -o printer-error-policy=abort-job
}

waitfor() {
  for _ in $(seq 200); do eval "$2" >/dev/null 2>&1 && return 0; sleep 0.05; done
  echo "sandbox: timeout waiting for $1 (logs in $D/log)" >&2
  return 1
}

# A recorded process is ours only while its command line still names the sandbox directory or the
# program we started (a pid reused by another process after a crash is left alone).
ours() {
  local pid=$1 name=$2
  alive "$pid" || return 1
  tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -e "$D" -e "${name%%-*}"
}

stop() {
  [ -d "$D" ] || return 0
  for n in $DAEMONS; do
    [ -f "$D/$n.pid" ] || continue
    p=$(cat "$D/$n.pid")
    if [ -n "$p" ] && ours "$p" "$n"; then
      kill "$p" 2>/dev/null
      for _ in $(seq 100); do alive "$p" || break; sleep 0.05; done
      alive "$p" && kill -9 "$p" 2>/dev/null
    fi
    rm -f "$D/$n.pid"
  done
  rm -f "$D/sandbox.env"
}

# A private system bus and avahi on loopback, for when the machine has none.
start_dns_sd() {
  local bus=$1
  # A killed avahi leaves its pid file (and, until reaped, a zombie that avahi takes for a live daemon).
  if [ -f /run/avahi-daemon/pid ] && ! alive "$(cat /run/avahi-daemon/pid)"; then
    rm -f /run/avahi-daemon/pid 2>/dev/null
  fi
  rm -f "$D/dbus.sock"
  setsid dbus-daemon --config-file="$D/dbus.conf" --nofork --nopidfile >"$D/log/dbus.log" 2>&1 &
  echo $! >"$D/dbus.pid"
  waitfor dbus "[ -S '$D/dbus.sock' ]" || return 1
  DBUS_SYSTEM_BUS_ADDRESS=$bus setsid avahi-daemon -f "$D/avahi.conf" --no-drop-root --no-chroot --no-rlimits \
    --no-proc-title >"$D/log/avahi.log" 2>&1 &
  echo $! >"$D/avahi.pid"
  waitfor avahi "DBUS_SYSTEM_BUS_ADDRESS=$bus dbus-send --system --print-reply --dest=org.freedesktop.Avahi / \
    org.freedesktop.Avahi.Server.GetState | grep -q 'int32 2'"
}

stop_dns_sd() {
  for n in avahi dbus; do
    [ -f "$D/$n.pid" ] && kill "$(cat "$D/$n.pid")" 2>/dev/null
    rm -f "$D/$n.pid"
  done
  sleep 0.2
}

running() {
  [ -f "$D/sandbox.env" ] && [ -f "$D/cupsd.pid" ] && alive "$(cat "$D/cupsd.pid")"
}

print_env() {
  if ! running; then
    echo "sandbox: not running (scripts/sandbox.sh start)" >&2
    return 1
  fi
  cat "$D/sandbox.env"
}

start() {
  local t0 bus own_bus=0
  t0=$(date +%s%N)
  stop
  if [ -e "$D" ] && [ ! -f "$D/.presswick-sandbox" ]; then
    echo "sandbox: $D exists and is not a sandbox; choose another PRESSWICK_SANDBOX_DIR" >&2
    return 1
  fi
  rm -rf "$D"
  mkdir -p "$D"/{etc/ppd,etc/ssl,spool/tmp,cache,state,log,jobs/studio,jobs/office,client,user,home,sane.d}
  chmod 755 "$D"
  touch "$D/.presswick-sandbox"

  # DNS-SD: the machine's bus and avahi when they answer, else private ones on loopback.
  if env -u DBUS_SYSTEM_BUS_ADDRESS dbus-send --system --print-reply --reply-timeout=1000 \
    --dest=org.freedesktop.Avahi / org.freedesktop.Avahi.Server.GetState 2>/dev/null | grep -q 'int32 2'; then
    bus=""
  else
    own_bus=1
    bus="unix:path=$D/dbus.sock"
    cat >"$D/dbus.conf" <<EOF
<busconfig><type>system</type><listen>$bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>
EOF
    printf '[server]\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=lo\nenable-dbus=yes\n[wide-area]\nenable-wide-area=no\n[publish]\npublish-hinfo=no\npublish-workstation=no\n' >"$D/avahi.conf"
    # Once more after a failed first try (a daemon of a killed sandbox may still be going away).
    if ! start_dns_sd "$bus" && ! { stop_dns_sd; start_dns_sd "$bus"; }; then
      echo "sandbox: avahi-daemon did not start; only one private avahi can run per machine" >&2
      stop
      return 1
    fi
  fi

  local group user
  group=$(id -gn)
  user=$(id -un)
  {
    echo "ServerRoot $D/etc"
    echo "RequestRoot $D/spool"
    echo "TempDir $D/spool/tmp"
    echo "CacheDir $D/cache"
    echo "StateDir $D/state"
    echo "ServerKeychain $D/etc/ssl"
    echo "AccessLog $D/log/access_log"
    echo "ErrorLog $D/log/error_log"
    echo "PageLog $D/log/page_log"
    echo "SystemGroup $group"
    [ "$(id -u)" -ne 0 ] && printf 'User %s\nGroup %s\n' "$user" "$group"
    echo "CreateSelfSignedCerts no"
    [ -n "$bus" ] && echo "SetEnv DBUS_SYSTEM_BUS_ADDRESS $bus"
  } >"$D/etc/cups-files.conf"
  cat >"$D/etc/cupsd.conf" <<EOF
LogLevel warn
MaxLogSize 0
Listen 127.0.0.1:$CUPS_PORT
Listen $D/cups.sock
Browsing No
WebInterface No
PreserveJobFiles Yes
PreserveJobHistory Yes
MaxJobs 0
DefaultAuthType Basic
<Location />
  Order allow,deny
  Allow from 127.0.0.1
  Allow from @LOCAL
</Location>
EOF
  # Studio_printer's device reports four ink levels once it has printed (cupsd relays them).
  cat >"$D/studio-cmd.sh" <<'EOF'
#!/bin/sh
echo "ATTR: marker-names=\"Black Ink,Cyan Ink,Magenta Ink,Yellow Ink\" marker-colors=#000000,#00FFFF,#FF00FF,#FFFF00 marker-levels=80,60,30,5 marker-low-levels=10,10,10,10 marker-high-levels=100,100,100,100 marker-types=ink-cartridge,ink-cartridge,ink-cartridge,ink-cartridge" >&2
EOF
  printf '#!/bin/sh\nexit 0\n' >"$D/office-cmd.sh"
  chmod 755 "$D/studio-cmd.sh" "$D/office-cmd.sh"

  # SANE: only the test backend, with its own configuration.
  echo test >"$D/sane.d/dll.conf"
  if [ -f /etc/sane.d/test.conf ]; then cp /etc/sane.d/test.conf "$D/sane.d/"; fi
  echo "ServerName $D/cups.sock" >"$D/client/client.conf"

  export DBUS_SYSTEM_BUS_ADDRESS=${bus:-${DBUS_SYSTEM_BUS_ADDRESS:-}}
  [ -z "$DBUS_SYSTEM_BUS_ADDRESS" ] && unset DBUS_SYSTEM_BUS_ADDRESS
  export CUPS_SERVER=$D/cups.sock CUPS_SERVERROOT=$D/client HOME=$D/home
  setsid cupsd -f -s "$D/etc/cups-files.conf" -c "$D/etc/cupsd.conf" >"$D/log/cupsd.out" 2>&1 &
  echo $! >"$D/cupsd.pid"
  setsid ippeveprinter -p "$STUDIO_PORT" -n localhost -d "$D/jobs/studio" -c "$D/studio-cmd.sh" -2 -s 10,8 \
    -f application/pdf,image/pwg-raster,image/urf,image/jpeg -M Acme -m "Studio 1" -l "Studio" \
    "Acme Studio 1" >"$D/log/ippeveprinter-studio.log" 2>&1 &
  echo $! >"$D/ippeveprinter-studio.pid"
  setsid ippeveprinter -p "$OFFICE_PORT" -n localhost -d "$D/jobs/office" -c "$D/office-cmd.sh" -2 -s 20 \
    -f application/pdf,image/pwg-raster,image/urf -M Acme -m "Laser 2" -l "Office" \
    "Acme Laser 2" >"$D/log/ippeveprinter-office.log" 2>&1 &
  echo $! >"$D/ippeveprinter-office.pid"
  waitfor cupsd "lpstat -r | grep -q 'is running'" || { stop; return 1; }
  waitfor ippeveprinter "ipptool -q ipp://localhost:$STUDIO_PORT/ipp/print get-printer-attributes.test && \
    ipptool -q ipp://localhost:$OFFICE_PORT/ipp/print get-printer-attributes.test" || { stop; return 1; }
  add_studio_queue &&
    lpadmin -p Office_laser -E -v "ipp://localhost:$OFFICE_PORT/ipp/print" -m everywhere \
      -D "Office Laser" -L "Office" -o printer-error-policy=abort-job &&
    lpadmin -d Studio_printer || { stop; return 1; }

  # Prime the ink levels: cupsd learns them from the device during a job; then forget that job. On a
  # loaded machine's first start the job has once gone to the device unconverted and been refused, so
  # the queue is made again and the job sent again before giving up.
  local try
  for try in 1 2 3; do
    echo "sandbox supply check" | lp -d Studio_printer -t "Supply check" >/dev/null 2>&1
    waitfor "supply levels" "lpoptions -p Studio_printer | grep -q marker-levels" && break
    [ "$try" = 3 ] && { stop; return 1; }
    cancel -a -x >/dev/null 2>&1
    lpadmin -x Studio_printer && add_studio_queue && lpadmin -d Studio_printer || { stop; return 1; }
  done
  cancel -a -x >/dev/null 2>&1

  {
    echo "export CUPS_SERVER='$D/cups.sock'"
    echo "export CUPS_SERVERROOT='$D/client'"
    echo "export PRESSWICK_CUPS_USERCONFIG='$D/user'"
    echo "export SANE_CONFIG_DIR='$D/sane.d'"
    [ "$own_bus" = 1 ] && echo "export DBUS_SYSTEM_BUS_ADDRESS='$bus'"
  } >"$D/sandbox.env"
  echo "sandbox ready in $((($(date +%s%N) - t0) / 1000000)) ms: $D (queues Studio_printer, Office_laser; scanner test:0)" >&2
}

DESK_USERS="presswick-desk presswick-guest"
PK_MECHANISM=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)/cups-pk-helper-mechanism

start_desk() {
  local t0 bus u
  t0=$(date +%s%N)
  if [ "$(id -u)" -ne 0 ]; then
    echo "sandbox: start-desk needs root (it adds users and runs polkitd)" >&2
    return 1
  fi
  stop
  if [ -e "$D" ] && [ ! -f "$D/.presswick-sandbox" ]; then
    echo "sandbox: $D exists and is not a sandbox; choose another PRESSWICK_SANDBOX_DIR" >&2
    return 1
  fi
  rm -rf "$D"
  mkdir -p "$D"/{etc/ppd,etc/ssl,spool/tmp,cache,state,log,client,services,rules.d}
  chmod 755 "$D"
  touch "$D/.presswick-sandbox"
  for u in $DESK_USERS; do
    id "$u" >/dev/null 2>&1 ||
      useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$u" || return 1
  done

  # The private system bus starts cups-pk-helper on demand, with this sandbox's server in its environment.
  bus="unix:path=$D/dbus.sock"
  cat >"$D/dbus.conf" <<EOF
<busconfig><type>session</type><listen>$bus</listen><auth>EXTERNAL</auth><servicedir>$D/services</servicedir>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>
EOF
  printf '[D-BUS Service]\nName=org.opensuse.CupsPkHelper.Mechanism\nExec=%s\n' "$PK_MECHANISM" \
    >"$D/services/org.opensuse.CupsPkHelper.Mechanism.service"
  DBUS_SYSTEM_BUS_ADDRESS=$bus CUPS_SERVER=$D/cups.sock CUPS_SERVERROOT=$D/client \
    setsid dbus-daemon --config-file="$D/dbus.conf" --nofork --nopidfile >"$D/log/dbus.log" 2>&1 &
  echo $! >"$D/dbus.pid"
  waitfor dbus "[ -S '$D/dbus.sock' ]" || { stop; return 1; }

  # polkitd reads its rules from fixed system directories: in a mount namespace of its own, the
  # sandbox's rules stand in for the machine's.
  cat >"$D/rules.d/50-presswick-desk.rules" <<'EOF'
polkit.addRule(function(action, subject) {
    if (action.id.indexOf("org.opensuse.cupspkhelper.mechanism.") == 0 && subject.user == "presswick-desk") {
        return polkit.Result.YES;
    }
});
EOF
  chown -R polkitd "$D/rules.d" 2>/dev/null
  chmod 700 "$D/rules.d"
  DBUS_SYSTEM_BUS_ADDRESS=$bus setsid unshare --mount --propagation private sh -c \
    "mount --bind '$D/rules.d' /etc/polkit-1/rules.d && exec /usr/lib/polkit-1/polkitd --no-debug" \
    >"$D/log/polkitd.log" 2>&1 &
  echo $! >"$D/polkitd.pid"
  waitfor polkitd "DBUS_SYSTEM_BUS_ADDRESS=$bus dbus-send --system --print-reply \
    --dest=org.freedesktop.PolicyKit1 /org/freedesktop/PolicyKit1/Authority \
    org.freedesktop.DBus.Properties.Get string:org.freedesktop.PolicyKit1.Authority string:BackendName" ||
    { stop; return 1; }

  # The stock configuration and policy, listening here instead of on the machine's addresses.
  {
    echo "ServerRoot $D/etc"
    echo "RequestRoot $D/spool"
    echo "TempDir $D/spool/tmp"
    echo "CacheDir $D/cache"
    echo "StateDir $D/state"
    echo "ServerKeychain $D/etc/ssl"
    echo "AccessLog $D/log/access_log"
    echo "ErrorLog $D/log/error_log"
    echo "PageLog $D/log/page_log"
    echo "SystemGroup root lpadmin"
    echo "PeerCred on"
    echo "CreateSelfSignedCerts no"
    echo "SetEnv DBUS_SYSTEM_BUS_ADDRESS $bus"
  } >"$D/etc/cups-files.conf"
  {
    echo "Listen 127.0.0.1:$CUPS_PORT"
    echo "Listen $D/cups.sock"
    echo "Browsing No"
    echo "WebInterface No"
    grep -vE '^(Listen|Port|Browsing|BrowseLocalProtocols|WebInterface|IdleExitTimeout)\b' \
      /usr/share/cups/cupsd.conf.default
  } >"$D/etc/cupsd.conf"
  echo "ServerName $D/cups.sock" >"$D/client/client.conf"
  export CUPS_SERVER=$D/cups.sock CUPS_SERVERROOT=$D/client
  setsid cupsd -f -s "$D/etc/cups-files.conf" -c "$D/etc/cupsd.conf" >"$D/log/cupsd.out" 2>&1 &
  echo $! >"$D/cupsd.pid"
  waitfor cupsd "lpstat -r | grep -q 'is running'" || { stop; return 1; }
  # Raw queues whose devices are absent: documents are held, the queues only need to exist.
  { lpadmin -p Desk_printer -E -v "ipp://127.0.0.1:$STUDIO_PORT/ipp/print" -D "Desk Printer" &&
    lpadmin -p Hall_printer -E -v "ipp://127.0.0.1:$OFFICE_PORT/ipp/print" -D "Hall Printer"; } \
    >"$D/log/lpadmin.log" 2>&1 || { stop; return 1; }

  {
    echo "export CUPS_SERVER='$D/cups.sock'"
    echo "export CUPS_SERVERROOT='$D/client'"
    echo "export DBUS_SYSTEM_BUS_ADDRESS='$bus'"
  } >"$D/sandbox.env"
  chmod 644 "$D/sandbox.env"
  echo "desk sandbox ready in $((($(date +%s%N) - t0) / 1000000)) ms: $D (queues Desk_printer, Hall_printer; users $DESK_USERS)" >&2
}

case "${1:-}" in
  start) start ;;
  start-desk) start_desk ;;
  stop) stop ;;
  env) print_env ;;
  status) if running; then echo "running: $D"; else echo "not running"; exit 1; fi ;;
  *)
    echo "usage: $0 start|start-desk|stop|env|status" >&2
    exit 2
    ;;
esac
