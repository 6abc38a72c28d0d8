#!/usr/bin/env bash
# A trimmed conversion: the part from 10 s to 30 s of a 40 s clip (the start and length the trim
# window stores, given here on the command line, which fills the same row fields) lasts 20 s
# within one frame and starts with the source's frame at 10 s, not the one before or after.
set -uo pipefail
build="$1"
convert="$build/app/morvane-convert"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export MORVANE_SETTINGS_INI="$work/settings.ini"
export MORVANE_FORMAT_INI="$build/data/morvanemp4format.ini"
fail() { echo "FAIL: $*"; exit 1; }

# Key frames 10 s apart, so that the start is not simply the nearest one.
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=40 \
  -f lavfi -i sine=duration=40 -c:v libx264 -preset ultrafast -g 250 -c:a aac -shortest \
  "$work/src.mp4" || fail "no source clip"
"$convert" --yes --profile 2307 --start 10 --length 20 --output-dir "$work/out" "$work/src.mp4" \
  > "$work/log" 2>&1 || fail "conversion failed: $(tail -3 "$work/log")"
out="$work/out/src_(new).avi"

read -r duration rate < <(ffprobe -v error -select_streams v:0 \
  -show_entries stream=duration,r_frame_rate -of csv=p=0 "$out" | awk -F, '{print $2, $1}')
awk -v d="$duration" -v r="$rate" 'BEGIN { split(r, f, "/"); frame = f[2] / f[1];
  exit !(d >= 20 - frame - 1e-6 && d <= 20 + frame + 1e-6) }' ||
  fail "the video lasts $duration s (rate $rate), not 20 s within one frame"

# PSNR of the output's first frame against the source's frame at time $1.
first_frame_psnr() {
  ffmpeg -nostdin -v error -i "$out" -ss "$1" -i "$work/src.mp4" -filter_complex \
    "[0:v]trim=end_frame=1,setpts=PTS-STARTPTS[a];[1:v]trim=end_frame=1,setpts=PTS-STARTPTS[s];
     [s][a]scale2ref[b][a2];[a2][b]psnr=stats_file=-" -f null - 2>&1 |
    sed -n 's/.*psnr_avg:\([0-9.]*\).*/\1/p' | head -1
}
at10=$(first_frame_psnr 10)
before=$(first_frame_psnr 9.96)
after=$(first_frame_psnr 10.04)
awk -v a="$at10" -v b="$before" -v c="$after" 'BEGIN { exit !(a > 35 && a > b + 6 && a > c + 6) }' ||
  fail "first frame PSNR against the source at 10 s: $at10 dB (9.96 s: $before, 10.04 s: $after)"
echo "trimmed conversion: ${duration} s, first frame ${at10} dB against the source at 10 s"
