#!/usr/bin/env bash
# Runs each fuzz target for SECONDS (default 60): the engine output parser and the preview's drawing of
# PDFs and images under libFuzzer (clang; the preview needs clang 16), invocation parsing under the
# standalone driver (GCC with ASan and UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
# clang 16 builds everything; clang 14 (Debian's default) all but the preview target.
cc=clang cxx=clang++
if command -v clang++-16 >/dev/null; then
  cc=clang-16 cxx=clang++-16
fi
clang_build=build-fuzz-$cc
cmake -S . -B "$clang_build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DPRESSWICK_FUZZ=ON \
  -DPRESSWICK_QT=OFF -DPRESSWICK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$clang_build" --target fuzz_parse_engine_tsv -j"$(nproc)" >/dev/null
if [ "$cc" = clang-16 ]; then
  cmake --build "$clang_build" --target fuzz_preview -j"$(nproc)" >/dev/null
fi
cmake -S . -B build-fuzz-gcc -DPRESSWICK_FUZZ=ON -DPRESSWICK_SANITIZE=ON -DPRESSWICK_QT=OFF \
  -DPRESSWICK_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-fuzz-gcc --target fuzz_actions_standalone -j"$(nproc)" >/dev/null

corpus=$(mktemp -d /tmp/presswick-fuzz.XXXXXX)
trap 'rm -rf "$corpus"' EXIT
mkdir "$corpus/tsv" "$corpus/preview"
cp fuzz/ocr/corpus/* "$corpus/tsv/"
cp fuzz/preview/corpus/* "$corpus/preview/"
summary='^(#[0-9]+ *DONE|Done|==[0-9]+==ERROR)|SUMMARY|^artifact_prefix|Test unit written'
echo "== parse_engine_tsv, ${seconds} s"
"$clang_build"/bin/fuzz_parse_engine_tsv -dict=fuzz/ocr/tsv.dict -max_total_time="$seconds" "$corpus/tsv" 2>&1 |
  grep -E "$summary" || true
if [ -x "$clang_build"/bin/fuzz_preview ]; then
  echo "== preview of PDFs and images, ${seconds} s"
  # A document that takes seconds to draw is what the helper's time limit is for: not a finding here.
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 "$clang_build"/bin/fuzz_preview -dict=fuzz/preview/pdf.dict -max_total_time="$seconds" -timeout=15 \
    -rss_limit_mb=3072 -artifact_prefix="$clang_build/preview-" "$corpus/preview" 2>&1 | grep -E "$summary" || true
  echo "corpus: $(ls "$corpus/preview" | wc -l) inputs"
else
  echo "== preview of PDFs and images: skipped (needs clang++-16: apt-get install clang-16 libclang-rt-16-dev)"
fi
echo "== invocation parsing, ${seconds} s"
build-fuzz-gcc/bin/fuzz_actions_standalone "$seconds"
