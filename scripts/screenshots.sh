#!/usr/bin/env bash
# Writes the screenshots the README shows into docs/screenshots/: the real main window, run on a
# virtual X display (Xvfb) with a few sample clips, in the "Default" theme and in "Orange", with
# the profile list open; the preview playing and the file information window; the trim, crop
# and watermark editors paused on a decorated frame; the preferences and profile settings dialogs;
# and the progress window during a conversion with its picture; the main window maximised; the
# main window with a few dialogs at a 12-point desktop font and at twice the screen's scale; and
# the main window in German.
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

# A variant: the driver run with the environment given (into a folder of its own), and the
# named pictures kept with the variant's name after theirs.
shoot_variant() {
  local suffix="$1" screen="$2" shots="$3"
  shift 3
  local tmp
  tmp="$(mktemp -d)"
  env "$@" xvfb-run -a -s "-screen 0 ${screen}x24" "$build/tests/windows/morvane-screenshots" "$tmp"
  for shot in $shots; do cp "$tmp/$shot.png" "$out/$shot-$suffix.png"; done
  rm -rf "$tmp"
}
# The desktop's font at 12 points (set the way a desktop's theme hands it over), and twice the
# screen's scale on a screen large enough for it.
shoot_variant 12pt 1280x1024 "main-window-default editor-watermark file-information progress-window settings" \
  MORVANE_FONT_SIZE=12
shoot_variant scale2 2560x1600 "main-window-default preference" QT_SCALE_FACTOR=2
ls -l "$out"
