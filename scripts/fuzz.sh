#!/usr/bin/env bash
# Runs each fuzz target for SECONDS (default 60): the engine output parser under libFuzzer (clang),
# invocation parsing under the standalone driver (GCC with ASan and UBSan).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake -S . -B build-fuzz-clang -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPRESSWICK_FUZZ=ON \
  -DPRESSWICK_QT=OFF -DPRESSWICK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz-clang --target fuzz_parse_engine_tsv -j"$(nproc)" >/dev/null
cmake -S . -B build-fuzz-gcc -DPRESSWICK_FUZZ=ON -DPRESSWICK_SANITIZE=ON -DPRESSWICK_QT=OFF \
  -DPRESSWICK_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-fuzz-gcc --target fuzz_actions_standalone -j"$(nproc)" >/dev/null

corpus=$(mktemp -d /tmp/presswick-fuzz.XXXXXX)
trap 'rm -rf "$corpus"' EXIT
cp fuzz/ocr/corpus/* "$corpus/"
echo "== parse_engine_tsv, ${seconds} s"
build-fuzz-clang/bin/fuzz_parse_engine_tsv -dict=fuzz/ocr/tsv.dict -max_total_time="$seconds" "$corpus" 2>&1 |
  grep -E '^(#[0-9]+ *DONE|Done|==[0-9]+==ERROR)|SUMMARY' || true
echo "== invocation parsing, ${seconds} s"
build-fuzz-gcc/bin/fuzz_actions_standalone "$seconds"
