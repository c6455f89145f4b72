#!/usr/bin/env bash
# Every benchmark, each with the baselines it is compared against in the same run.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/presswick-xdg.XXXXXX)
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
failed=0
for bench in kora_ui_rebuild_bench views_bench views_realize_bench ocr_bench scan_bench; do
  if [ -x "$BUILD/bin/$bench" ]; then
    echo "== $bench"
    "$BUILD/bin/$bench" --benchmark_counters_tabular=true || failed=1
  fi
done
# Scanners through the scan helper and the fake backend, and SANE's test scanner beside scanimage +
# tesseract: no print system needed.
for bench in printing_scanner_refresh_bench printing_scan_memory_bench scan_page_bench; do
  if [ -x "$BUILD/bin/$bench" ]; then
    echo "== $bench"
    "$BUILD/bin/$bench" || failed=1
  fi
done
bench/pdf/run.sh "$BUILD" || failed=1
# Starts (and stops) its own private print system.
bench/printing/run.sh "$BUILD" || failed=1
exit $failed
