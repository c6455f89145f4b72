#!/usr/bin/env bash
# The whole test suite: formatting, unit and ui tests, integration tests against a private print system,
# the Debian package, the desk tests, then the unit tests and the Qt host's ui tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
JOBS=${JOBS:-$(nproc)}
failed=0

# Each phase is announced, and its time told when the next begins.
phase_start=$SECONDS
phase_name=""
phase() {
  [ -n "$phase_name" ] && echo "-- $phase_name: $((SECONDS - phase_start)) s"
  phase_name=$1
  phase_start=$SECONDS
  [ -n "$phase_name" ] && echo "== $phase_name"
}

export QT_QPA_PLATFORM=offscreen
# The tests read the English texts: the desktop's language must not choose another catalogue.
export LC_ALL=C.UTF-8
unset LANGUAGE
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/presswick-xdg.XXXXXX)
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

# The sanitizer tree builds in the background while the other phases mostly wait on other processes; its
# tests run last. It builds only what those tests need: the programs of the unit tests (as the main tree
# lists them), the files the unit tests read (the desktop entry and metainfo merged with the catalogues)
# and the Qt host's ui tests. Unoptimised with line tables: the quickest to compile.
asan_log=$(mktemp /tmp/presswick-asan-build.XXXXXX)
asan_pid=""
if [ "${PRESSWICK_SKIP_SANITIZE:-0}" != 1 ]; then
  asan_targets=$(ctest --test-dir "$BUILD" -L unit -N -V |
    sed -n "s|.*Test command: $(pwd)/$BUILD/bin/\([^ ]*\).*|\1|p" | sort -u)
  (
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_C_FLAGS_DEBUG=-g1 \
      -DPRESSWICK_SANITIZE=ON -DPRESSWICK_BENCH=OFF >/dev/null &&
      nice -n 10 cmake --build build-asan -j"$JOBS" --target $asan_targets desktop_files kora_ui_qt_tests
  ) >"$asan_log" 2>&1 &
  asan_pid=$!
fi

phase formatting
if ! git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror; then
  echo "some sources are not clang-formatted; run make format" >&2
  failed=1
fi

phase "unit and ui tests"
ctest --test-dir "$BUILD" -L 'unit|ui' -LE integration --output-on-failure -j"$JOBS" || failed=1

if [ -x scripts/sandbox.sh ]; then
  phase "integration tests"
  sandbox_home=$(mktemp -d /tmp/presswick-home.XXXXXX)
  if scripts/sandbox.sh start; then
    eval "$(scripts/sandbox.sh env)"
    # Adding a driverless queue can bring cupsd 2.4 down while it builds the queue's model
    # ("free(): invalid pointer"), and the queue's device is gone once its test ends, so the tests that
    # add queues run last, after everything that needs the server.
    last='SandboxDiscovery|AddsQueue'
    HOME=$sandbox_home ctest --test-dir "$BUILD" -L integration -E "$last" --output-on-failure || failed=1
    HOME=$sandbox_home ctest --test-dir "$BUILD" -L integration -R "$last" --output-on-failure || failed=1
    scripts/sandbox.sh stop
  else
    echo "the private print system did not start" >&2
    failed=1
  fi
  rm -rf "$sandbox_home"
fi

if [ "${PRESSWICK_SKIP_PACKAGE:-0}" != 1 ]; then
  phase "Debian package: build from $BUILD, lintian, install, run, remove"
  BUILD=$BUILD JOBS=$JOBS scripts/package_test.sh || failed=1
fi

# The print service at an ordinary desk: unprivileged users, the stock cupsd policy, polkit. The test
# starts and stops a desk sandbox of its own (root only; it reports itself skipped otherwise).
phase "desk tests"
ctest --test-dir "$BUILD" -L desk --output-on-failure || failed=1

if [ -n "$asan_pid" ]; then
  phase "unit tests under ASan+UBSan"
  if wait "$asan_pid"; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build-asan -L unit --output-on-failure -j"$JOBS" || failed=1
    # Controls pressed after an action replaced the view must reach no freed tree (leaks: Qt's own).
    phase "the Qt host's ui tests under ASan+UBSan"
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      build-asan/bin/kora_ui_qt_tests || failed=1
  else
    tail -40 "$asan_log" >&2
    echo "the sanitizer build failed" >&2
    failed=1
  fi
fi
rm -f "$asan_log"
phase ""

exit $failed
