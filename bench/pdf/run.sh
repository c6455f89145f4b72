#!/usr/bin/env bash
# The PDF writer against its two baselines in one run, plus the memory check:
#   write_pdf (1 and 2 threads) and plain single-threaded zlib level 6 (Google Benchmark),
#   img2pdf on the same ten pages as PNG files, and peak resident size of one write_pdf.
# Usage: bench/pdf/run.sh [build dir]   (pdf_bench must be built there)
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${1:-build}
bench=$BUILD/bin/pdf_bench
[ -x "$bench" ] || { echo "build the pdf_bench target in $BUILD first" >&2; exit 1; }

work=$(mktemp -d /tmp/presswick-pdf-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
input_bytes=$((10 * 2480 * 3508 * 3))

echo "== write_pdf and plain zlib level 6, $(nproc) cores, load: $(cut -d' ' -f1-3 /proc/loadavg)"
"$bench" --benchmark_counters_tabular=true

echo "== img2pdf on the same pages as PNG files"
start=$(date +%s.%N)
"$bench" --write-png "$work"
png_s=$(echo "$(date +%s.%N) - $start" | bc)
best=""
best_cpu=""
for run in 1 2 3; do
  /usr/bin/time -f '%e %U %S' -o "$work/img2pdf.time" img2pdf -o "$work/img2pdf.pdf" "$work"/page-*.png
  read -r t user sys <"$work/img2pdf.time"
  if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  cpu=$(echo "$user + $sys" | bc)
  if [ -z "$best_cpu" ] || [ "$(echo "$cpu < $best_cpu" | bc)" = 1 ]; then best_cpu=$cpu; fi
done
printf 'PNG encoding (libpng defaults; img2pdf embeds its data, so this is not counted): %.2f s\n' "$png_s"
printf 'img2pdf, best of 3: %.2f s wall, %.2f s CPU; %.1f MB/s of input (RGB bytes, wall); output %.1f MB\n' \
  "$best" "$best_cpu" "$(echo "$input_bytes / $best / 1000000" | bc -l)" \
  "$(echo "$(stat -c %s "$work/img2pdf.pdf") / 1000000" | bc -l)"

echo "== peak resident size of one write_pdf"
/usr/bin/time -v "$bench" --memory 2>"$work/time.txt"
grep -E 'Maximum resident|Elapsed' "$work/time.txt"
