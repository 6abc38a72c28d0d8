#!/usr/bin/env bash
# The program's main job from `make run`: report the media libraries the loader finds, then
# convert a small sample clip with the stored (or default) profile and say where it went.
set -euo pipefail
build="${1:-build}"

"$build/app/morvane" --libraries
echo

sample_dir="${XDG_CACHE_HOME:-$HOME/.cache}/morvane"
sample="$sample_dir/sample.mp4"
if [ ! -s "$sample" ]; then
  mkdir -p "$sample_dir"
  echo "Making a sample clip: $sample"
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=5 \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=5" -ac 2 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -shortest "$sample"
fi
"$build/app/morvane-convert" --yes "$sample"
