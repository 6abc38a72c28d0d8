#!/usr/bin/env bash
# morvane-convert with a settings store it cannot trust: a profile section that lost keys still
# converts the profile's video; a damaged store is kept aside; a read-only store is never written;
# a configuration folder that cannot be written still gives a conversion with the profile's
# defaults; a full file system leaves the store as it was.  Each is said once.
set -uo pipefail
build="$1"
convert="$build/app/morvane-convert"
work="$(mktemp -d)"
cleanup() {
  mountpoint -q "$work/full" 2>/dev/null && umount "$work/full"
  rm -rf "$work"
}
trap cleanup EXIT
export MORVANE_FORMAT_INI="$build/data/morvanemp4format.ini"
export HOME="$work/home"
fail() { echo "FAIL: $*"; exit 1; }
count() { grep -c "$1" "$2"; }

ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=1 \
  -f lavfi -i sine=duration=1 -c:v libx264 -preset ultrafast -c:a aac -shortest "$work/clip.mp4"

# 1. A profile section holding only the zoom: the job is the profile's, with video.
printf '[settings]\nFormatCode=205\n[formatInfo205]\nparaZoom=full\n' > "$work/partial.ini"
MORVANE_SETTINGS_INI="$work/partial.ini" "$convert" --yes --show-job --output-dir "$work/out1" \
  "$work/clip.mp4" > "$work/log1" 2>&1 || fail "partial section: $(cat "$work/log1")"
grep -q "job: vn=1" "$work/log1" && fail "the video was dropped: $(cat "$work/log1")"
grep -q "job: vcodec=libx264" "$work/log1" || fail "not the profile's encoder: $(cat "$work/log1")"
grep -q "1 converted, 0 failed" "$work/log1" || fail "no summary: $(cat "$work/log1")"
streams="$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$work/out1/clip_(new).mp4" |
  sort | tr '\n' ' ')"
[ "$streams" = "audio video " ] || fail "the output has $streams"
grep -q '^paraZoom=full' "$work/partial.ini" || fail "the stored zoom was not kept"

# 2. A store of zero bytes (what a crash leaves): kept aside, said once, the defaults used.
printf '\0\0\0\0\0\0\0\0' > "$work/zeros.ini"
MORVANE_SETTINGS_INI="$work/zeros.ini" "$convert" --yes --profile 401 --output-dir "$work/out2" \
  "$work/clip.mp4" > "$work/log2" 2>&1 || fail "damaged store: $(cat "$work/log2")"
[ "$(count "could not be read" "$work/log2")" = 1 ] || fail "not said once: $(cat "$work/log2")"
grep -q "It was kept as $work/zeros.ini.damaged" "$work/log2" || fail "$(cat "$work/log2")"
cmp -s "$work/zeros.ini.damaged" <(printf '\0\0\0\0\0\0\0\0') || fail "the damaged bytes are gone"
grep -q '^\[formatInfo401\]' "$work/zeros.ini" || fail "no new store was made"

# 3. A read-only store: read (its profile is used), never written nor replaced.
printf '[settings]\nFormatCode=2307\n' > "$work/ro.ini"
chmod 0444 "$work/ro.ini"
before="$(stat -c '%i %a %s %Y' "$work/ro.ini")"
MORVANE_SETTINGS_INI="$work/ro.ini" "$convert" --yes --output-dir "$work/out3" \
  "$work/clip.mp4" > "$work/log3" 2>&1 || fail "read-only store: $(cat "$work/log3")"
[ "$(stat -c '%i %a %s %Y' "$work/ro.ini")" = "$before" ] || fail "the read-only store changed"
[ -s "$work/out3/clip_(new).avi" ] || fail "the stored profile was not used: $(cat "$work/log3")"
[ "$(count "is read-only" "$work/log3")" = 1 ] || fail "not said once: $(cat "$work/log3")"

# 4. A configuration folder that cannot be written (a file in its place; root writes anywhere
#    else): the profile's defaults, a conversion, one line saying changes are not kept.
echo "not a folder" > "$work/config"
env -u MORVANE_SETTINGS_INI XDG_CONFIG_HOME="$work/config" "$convert" --yes --profile 205 \
  --show-job --output-dir "$work/out4" "$work/clip.mp4" > "$work/log4" 2>&1 ||
  fail "unwritable configuration folder: $(cat "$work/log4")"
grep -q "job: vcodec=libx264" "$work/log4" || fail "not the profile's defaults: $(cat "$work/log4")"
grep -q "1 converted, 0 failed" "$work/log4" || fail "no conversion: $(cat "$work/log4")"
[ "$(count "Changes will not be kept" "$work/log4")" = 1 ] || fail "not said once: $(cat "$work/log4")"
grep -q "Unable to write" "$work/log4" && fail "an error instead of a notice: $(cat "$work/log4")"

# 5. A full file system (a small one mounted for the test, as root): the store keeps its bytes.
mkdir -p "$work/full"
if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=64k tmpfs "$work/full" 2>/dev/null; then
  MORVANE_SETTINGS_INI="$work/full/s.ini" "$convert" --yes --profile 401 \
    --output-dir "$work/out5" "$work/clip.mp4" > /dev/null 2>&1 || fail "first run on tmpfs"
  cp "$work/full/s.ini" "$work/before.ini"
  dd if=/dev/zero of="$work/full/filler" bs=4k count=64 2> /dev/null
  MORVANE_SETTINGS_INI="$work/full/s.ini" "$convert" --yes --profile 205 \
    --output-dir "$work/out5" "$work/clip.mp4" > "$work/log5" 2>&1 || fail "full: $(cat "$work/log5")"
  cmp -s "$work/full/s.ini" "$work/before.ini" || fail "the store changed on a full disk"
  [ "$(count "No space left on device" "$work/log5")" = 1 ] || fail "not said once: $(cat "$work/log5")"
  grep -q "1 converted, 0 failed" "$work/log5" || fail "no conversion: $(cat "$work/log5")"
  umount "$work/full"
else
  echo "(no small file system could be mounted: step 5 skipped)"
fi

echo "5 passed, 0 failed"
