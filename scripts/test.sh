#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-test/, makes the data set there and
# runs the whole test suite under a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUM_SANITIZE=ON >/dev/null
cmake --build build-test -j"$(nproc)"
export KESTRUM_MESSAGE_BOX=stderr
# The leak checker's thread scan can trip over the dynamic TLS of the GL
# driver's worker threads unless __tls_get_addr is left alone.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export SDL_VIDEO_ALLOW_SCREENSAVER=1
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir build-test --output-on-failure -j"$(nproc)" --timeout 600
