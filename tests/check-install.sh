#!/usr/bin/env bash
# The installed tree as a user gets it: `cmake --install` into a prefix, moved elsewhere
# afterwards, must still find its format INI and pictures (they are looked up relative to the
# executable), convert a clip and start; the manual pages, the copyright file, the changelog and
# the catalogues of the languages are in place; the desktop entry and the software-centre
# metadata must pass the desktop's validators.
set -uo pipefail
build="$1"
app_id="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/first" > "$work/install.log" 2>&1 ||
  fail "cmake --install: $(tail -5 "$work/install.log")"
mv "$work/first" "$work/moved"
prefix="$work/moved"

for file in bin/morvane bin/morvane-convert bin/morvane-play bin/morvane-engine \
  share/morvane/morvanemp4format.ini share/morvane/skin/mp4videocover.jpg \
  share/morvane/skin/videocover.jpg share/applications/$app_id.desktop \
  share/metainfo/$app_id.metainfo.xml share/icons/hicolor/48x48/apps/$app_id.png \
  share/icons/hicolor/256x256/apps/$app_id.png share/man/man1/morvane.1.gz \
  share/man/man1/morvane-convert.1.gz share/man/man1/morvane-play.1.gz \
  share/man/man1/morvane-engine.1.gz share/doc/morvane/copyright \
  share/doc/morvane/changelog.Debian.gz share/morvane/translations/morvane_de.qm; do
  [ -s "$prefix/$file" ] || fail "not installed: $file"
done

desktop-file-validate "$prefix/share/applications/$app_id.desktop" ||
  fail "desktop entry does not validate"
appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" > "$work/as.log" 2>&1 ||
  fail "metainfo does not validate: $(cat "$work/as.log")"

# The installed programs on their own: no INI named from outside, a private settings store.
unset MORVANE_FORMAT_INI
export MORVANE_SETTINGS_INI="$work/settings.ini"
export XDG_CONFIG_HOME="$work/config"
"$prefix/bin/morvane-convert" --list-profiles > "$work/profiles" 2>&1 ||
  fail "--list-profiles: $(cat "$work/profiles")"
grep -q "PSP" "$work/profiles" || fail "no PSP profile listed: $(head -5 "$work/profiles")"

ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=1 \
  -f lavfi -i sine=duration=1 -c:v libx264 -preset ultrafast -c:a aac -shortest "$work/clip.mp4"
"$prefix/bin/morvane-convert" --yes --profile 2307 --output-dir "$work/out" "$work/clip.mp4" \
  > "$work/convert.log" 2>&1 || fail "conversion: $(tail -5 "$work/convert.log")"
[ "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_type -of csv=p=0 \
  "$work/out/clip_(new).avi")" = video ] || fail "the converted file has no video"

# The installed INI is the one used (not one of another installation): emptied, it is named in
# the error.
: > "$prefix/share/morvane/morvanemp4format.ini"
MORVANE_SETTINGS_INI="$work/fresh.ini" "$prefix/bin/morvane-convert" --yes --profile 2307 \
  --output-dir "$work/out" "$work/clip.mp4" > "$work/empty.log" 2>&1 &&
  fail "converted with an empty format INI"
grep -qF "$prefix/share/morvane/morvanemp4format.ini has no section" "$work/empty.log" ||
  fail "another format INI was used: $(cat "$work/empty.log")"

QT_QPA_PLATFORM=offscreen "$prefix/bin/morvane" --version > "$work/version" 2>&1 ||
  fail "morvane --version: $(cat "$work/version")"
grep -q "^morvane [0-9]" "$work/version" || fail "morvane --version printed: $(cat "$work/version")"
"$prefix/bin/morvane" --libraries > "$work/libraries" 2>&1 ||
  fail "morvane --libraries: $(cat "$work/libraries")"
echo "installed tree works from $prefix"
