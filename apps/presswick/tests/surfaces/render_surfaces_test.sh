#!/usr/bin/env bash
# Renders every named surface offscreen and checks that each run succeeds, prints no warning and
# writes a PNG of the surface's window size.
set -u
bin=$1
out=$(mktemp -d /tmp/presswick-surfaces.XXXXXX)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$out/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
failures=0
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}'; }
while read -r name expected; do
  "$bin" --surface "$name" --screenshot "$out/$name.png" 2>"$out/$name.err"
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "FAIL $name: exit status $status"; cat "$out/$name.err"; failures=$((failures + 1)); continue
  fi
  if grep -v 'propagateSizeHints' "$out/$name.err" | grep -q .; then
    echo "FAIL $name: printed warnings:"; cat "$out/$name.err"; failures=$((failures + 1))
  fi
  got=$(png_size "$out/$name.png")
  if [ "$got" != "$expected" ]; then
    echo "FAIL $name: ${got} instead of ${expected}"; failures=$((failures + 1))
  else
    echo "ok   $name $got"
  fi
done <<'LIST'
active 1280x800
attention 1280x800
empty 1280x800
narrow 520x820
queue 1280x800
device 1280x800
discovery 1280x800
print 1280x800
print-narrow 520x820
scan 1280x800
scan-result 1280x800
scan-result-narrow 520x820
history 1280x800
diagnostics 1280x800
service-error 1280x800
service-error-narrow 520x820
LIST
[ "$failures" -eq 0 ]
