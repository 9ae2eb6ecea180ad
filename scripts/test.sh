#!/usr/bin/env bash
# Builds the kit and runs every test twice: once as built for users, once under
# AddressSanitizer and UndefinedBehaviorSanitizer. Any finding fails the run.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

bash scripts/build.sh build
(cd build && ctest --output-on-failure --timeout 300 -j 2)

bash scripts/build.sh build-asan -DDROVO_SANITIZE=address,undefined
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure --timeout 600 -j 2)
