#!/usr/bin/env bash
# Writes the screenshots the README shows into docs/screenshots/: the real main window, run on a
# virtual X display (Xvfb) with a few sample clips, in the "Default" theme and in "Orange", with
# the profile list open; the preview playing and the file information window; the trim, crop
# and watermark editors paused on a decorated frame; the preferences and profile settings dialogs;
# and the progress window during a conversion with its picture; and the main window in German.
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2 --target morvane-screenshots skin_pictures translations
out="$root/docs/screenshots"
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/windows/morvane-screenshots" "$out"
# The windows in German; the README shows the main window.
german="$(mktemp -d)"
trap 'rm -rf "$german"' EXIT
xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/windows/morvane-screenshots" "$german" de_DE
cp "$german/main-window-default.png" "$out/main-window-de.png"
ls -l "$out"
