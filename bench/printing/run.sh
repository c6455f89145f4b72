#!/usr/bin/env bash
# Fills the private print system with 20 queues and 500 jobs, then times one refresh beside
# `lpstat -W all -o -p` and `scanimage -L`; then grows it into an office server (200 queues, 5,000
# retained jobs, most of them finished) and times one refresh of printers and jobs beside
# `lpstat -W all -o -p`, and the memory from one refresh to the next.
# Usage: bench/printing/run.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build}
RUNS=${2:-15}
scripts/sandbox.sh start
trap 'scripts/sandbox.sh stop' EXIT
eval "$(scripts/sandbox.sh env)"
HOME=$(mktemp -d /tmp/presswick-bench-home.XXXXXX)
export HOME
port=$(lpstat -v Studio_printer | sed -E 's/.*localhost:([0-9]+).*/\1/')
for i in $(seq 3 20); do
  lpadmin -p "Bench_queue_$i" -E -v "ipp://localhost:$((port + i % 2))/ipp/print" -m everywhere
done
# 500 jobs, held so that they stay in the list without keeping the virtual printers busy.
cp /usr/share/cups/data/default-testpage.pdf "$HOME/bench.pdf"
submit() { # FIRST LAST QUEUES: held jobs spread over Bench_queue_3 .. Bench_queue_{QUEUES+2}
  seq "$1" "$2" | xargs -P 4 -I{} sh -c \
    "lp -d Bench_queue_\$((3 + {} % $3)) -H indefinite -t bench-{} '$HOME/bench.pdf' >/dev/null"
}
submit 1 500 18
echo "queues: $(lpstat -p | grep -c '^printer'), jobs: $(lpstat -W all -o | wc -l)"
failed=0
"$BUILD/bin/printing_refresh_bench" "$RUNS" || failed=1

# The office server: raw queues on the same two devices (their models would only slow the setup).
for i in $(seq 21 202); do
  lpadmin -p "Bench_queue_$i" -E -v "ipp://localhost:$((port + i % 2))/ipp/print" 2>/dev/null
done
# 5,000 retained jobs: 4,950 finished (canceled, kept in the history) and 50 waiting.
submit 501 5000 200
for i in $(seq 3 202); do cancel -a "Bench_queue_$i"; done
submit 5001 5050 200
# (lpstat lists at most 500 jobs here: it asks for attributes cupsd reads from each job's file)
echo "queues: $(lpstat -p | grep -c '^printer'), waiting jobs: $(lpstat -o | wc -l)"
"$BUILD/bin/printing_refresh_bench" office "$RUNS" || failed=1

# Live updates at that scale: the 50 waiting documents held and released in turn, 20 a second for a
# minute, on paused queues (so that nothing prints in between); cupsd logs every request it answers.
if [ -x "$BUILD/bin/printing_live_bench" ]; then
  for i in $(seq 3 202); do cupsdisable "Bench_queue_$i"; done
  cupsctl AccessLogLevel=all
  waitfor_running() { for _ in $(seq 50); do lpstat -r | grep -q 'is running' && return 0; sleep 0.1; done; return 1; }
  sleep 1; waitfor_running
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$(mktemp -d) \
    "$BUILD/bin/printing_live_bench" "${PRESSWICK_SANDBOX_DIR:-/tmp/presswick-sandbox}/log/access_log" "${LIVE_SECONDS:-60}" 20 || failed=1
fi
exit $failed
