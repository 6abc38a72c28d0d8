#!/usr/bin/env bash
# Builds the tests labelled "sanitize" and morvane-play with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in a build folder of their own, runs them, and plays a small file
# with morvane-play --once, which must exit cleanly.
set -euo pipefail
source_dir="$1"
build_dir="$2"
jobs="${3:-2}"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DMORVANE_SANITIZE=ON >/dev/null
cmake --build "$build_dir" -j "$jobs" --target services_tests logger_tests component_tests \
  decoration_tests morvane-play
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$build_dir" && ctest -L sanitize --output-on-failure -j "$jobs")

clip="$build_dir/play-once.mp4"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=1 \
  -f lavfi -i sine=duration=1 -c:v libx264 -preset ultrafast -c:a aac -shortest "$clip"
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$build_dir/app/morvane-play" --once "$clip" \
  > "$build_dir/play-once.log" 2>&1 || { cat "$build_dir/play-once.log"; echo "FAIL: morvane-play --once"; exit 1; }
echo "morvane-play --once: clean"
