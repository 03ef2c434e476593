#!/usr/bin/env bash
# Sets up and builds everything, then runs every test: once in the normal build and once
# with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)

"$root/scripts/setup.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$root/build" -j "$jobs" --output-on-failure

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$root/scripts/setup.sh" build-asan -DCMAKE_BUILD_TYPE=Debug -DDORVALE_SANITIZE=ON
ctest --test-dir "$root/build-asan" -j "$jobs" --output-on-failure
