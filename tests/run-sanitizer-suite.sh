#!/usr/bin/env bash
# Builds the tests labelled "sanitize" with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in a build folder of their own and runs them.
set -euo pipefail
source_dir="$1"
build_dir="$2"
jobs="${3:-2}"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON >/dev/null
cmake --build "$build_dir" -j "$jobs" --target services_tests component_tests decoration_tests
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build_dir" && ctest -L sanitize --output-on-failure -j "$jobs"
