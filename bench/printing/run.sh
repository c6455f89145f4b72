#!/usr/bin/env bash
# Fills the private print system with 20 queues and 500 jobs, then times one refresh beside
# `lpstat -W all -o -p` and `scanimage -L`. Usage: bench/printing/run.sh [BUILD_DIR] [RUNS]
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
for i in $(seq 1 500); do
  lp -d "Bench_queue_$((3 + i % 18))" -H indefinite -t "bench-$i" "$HOME/bench.pdf" >/dev/null
done
echo "queues: $(lpstat -p | grep -c '^printer'), jobs: $(lpstat -W all -o | wc -l)"
"$BUILD/bin/printing_refresh_bench" "$RUNS"
