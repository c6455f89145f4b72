#!/usr/bin/env bash
# The whole test suite: formatting, unit and ui tests, integration tests against a private print system,
# the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and the Debian package.
set -uo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
JOBS=${JOBS:-$(nproc)}
failed=0

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/presswick-xdg.XXXXXX)
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

echo "== formatting"
if ! git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror; then
  echo "some sources are not clang-formatted; run make format" >&2
  failed=1
fi

echo "== unit and ui tests"
ctest --test-dir "$BUILD" -L 'unit|ui' -LE integration --output-on-failure -j"$JOBS" || failed=1

# The sanitizer tree builds in the background while the integration tests mostly wait on the print
# system; its tests run after them.
asan_log=$(mktemp /tmp/presswick-asan-build.XXXXXX)
asan_pid=""
if [ "${PRESSWICK_SKIP_SANITIZE:-0}" != 1 ]; then
  (
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DPRESSWICK_SANITIZE=ON -DPRESSWICK_QT=OFF \
      -DPRESSWICK_BENCH=OFF >/dev/null &&
      nice -n 10 cmake --build build-asan -j"$JOBS"
  ) >"$asan_log" 2>&1 &
  asan_pid=$!
fi

if [ -x scripts/sandbox.sh ]; then
  echo "== integration tests"
  sandbox_home=$(mktemp -d /tmp/presswick-home.XXXXXX)
  if scripts/sandbox.sh start; then
    eval "$(scripts/sandbox.sh env)"
    # Adding a driverless queue can bring cupsd 2.4 down while it builds the queue's model
    # ("free(): invalid pointer"), so that test runs last, after everything that needs the server.
    HOME=$sandbox_home ctest --test-dir "$BUILD" -L integration -E SandboxDiscovery --output-on-failure || failed=1
    HOME=$sandbox_home ctest --test-dir "$BUILD" -L integration -R SandboxDiscovery --output-on-failure || failed=1
    scripts/sandbox.sh stop
  else
    echo "the private print system did not start" >&2
    failed=1
  fi
  rm -rf "$sandbox_home"
fi

if [ -n "$asan_pid" ]; then
  echo "== unit tests under ASan+UBSan"
  if wait "$asan_pid"; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build-asan -L unit --output-on-failure -j"$JOBS" || failed=1
  else
    tail -40 "$asan_log" >&2
    echo "the sanitizer build failed" >&2
    failed=1
  fi
fi
rm -f "$asan_log"

if [ "${PRESSWICK_SKIP_PACKAGE:-0}" != 1 ]; then
  echo "== Debian package: build from $BUILD, lintian, install, run, remove"
  BUILD=$BUILD JOBS=$JOBS scripts/package_test.sh || failed=1
fi

# The print service at an ordinary desk: unprivileged users, the stock cupsd policy, polkit. The test
# starts and stops a desk sandbox of its own (root only; it reports itself skipped otherwise).
echo "== desk tests"
ctest --test-dir "$BUILD" -L desk --output-on-failure || failed=1
if [ "${PRESSWICK_SKIP_SANITIZE:-0}" != 1 ]; then
  # Controls pressed after an action replaced the view must reach no freed tree (leaks: Qt's own).
  echo "== the Qt host's ui tests under ASan+UBSan"
  cmake -S . -B build-asan-qt -DCMAKE_BUILD_TYPE=Debug -DPRESSWICK_SANITIZE=ON -DPRESSWICK_BENCH=OFF >/dev/null &&
    cmake --build build-asan-qt -j"$JOBS" --target kora_ui_qt_tests >/dev/null &&
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      build-asan-qt/bin/kora_ui_qt_tests || failed=1
fi

exit $failed
