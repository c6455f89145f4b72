#!/usr/bin/env bash
# Renders every named surface to docs/screenshots/NAME.png with the program itself (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${PRESSWICK_BIN:-build/bin/presswick}
OUT=${1:-docs/screenshots}
[ -x "$BIN" ] || { echo "build first: $BIN is missing (make build)" >&2; exit 1; }
mkdir -p "$OUT"
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/presswick-xdg.XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"
surfaces=(active attention empty narrow queue device discovery print print-narrow scan scan-result
          scan-result-narrow history diagnostics service-error service-error-narrow)
for name in "${surfaces[@]}"; do
  "$BIN" --surface "$name" --screenshot "$OUT/$name.png" 2>/dev/null
  echo "$OUT/$name.png"
done
# The narrow window in German, as a German desktop starts it.
german_locale=C.UTF-8
locale -a 2>/dev/null | grep -qix 'de_DE.utf8' && german_locale=de_DE.UTF-8
mkdir -p "$OUT/de"
for name in narrow print-narrow scan-result-narrow; do
  LANGUAGE=de LC_ALL=$german_locale "$BIN" --surface "$name" --screenshot "$OUT/de/$name.png" 2>/dev/null
  echo "$OUT/de/$name.png"
done
