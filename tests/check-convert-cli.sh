#!/usr/bin/env bash
# morvane-convert as a user runs it: a bad file does not stop the batch and makes the exit status
# non-zero; Ctrl-C stops cleanly and leaves no partial file under a finished file's name, and
# neither does a killed process; a start past a source's end and an output folder that is a file
# are refused; a stream copy keeps the packets, and one the container cannot hold is refused.
set -uo pipefail
build="$1"
convert="$build/app/morvane-convert"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export MORVANE_SETTINGS_INI="$work/settings.ini"
export MORVANE_FORMAT_INI="$build/data/morvanemp4format.ini"
fail() { echo "FAIL: $*"; exit 1; }
# Waits until a conversion has been writing its file for a moment.
wait_for_writing() {
  for _ in $(seq 1 100); do
    [ -s "$1" ] && break
    sleep 0.1
  done
  sleep 0.5
}

ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=2 \
  -f lavfi -i sine=duration=2 -c:v libx264 -preset ultrafast -c:a aac -shortest "$work/good.mp4"
echo "not a video" > "$work/bad.mp4"

# 1. One bad file among good ones.
"$convert" --yes --profile 2307 --output-dir "$work/out" "$work/bad.mp4" "$work/good.mp4" \
  > "$work/log1" 2>&1
rc=$?
[ $rc -eq 1 ] || fail "exit status $rc with a bad file (expected 1)"
grep -q "bad.mp4: Invalid data found when processing input" "$work/log1" ||
  fail "no error text for the bad file: $(cat "$work/log1")"
[ -s "$work/out/good_(new).avi" ] || fail "the good file was not converted"
grep -q "1 converted, 1 failed" "$work/log1" || fail "no summary"

# 2. Ctrl-C while a long conversion runs, with two files queued behind it: the file being written
#    is set aside as unfinished, the queued ones leave nothing.
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=1280x720:rate=25:duration=120 \
  -c:v libx264 -preset ultrafast "$work/long.mp4"
"$convert" --yes --profile 2307 --jobs 1 --output-dir "$work/out2" "$work/long.mp4" \
  "$work/good.mp4" "$work/good.mp4" > "$work/log2" 2>&1 &
pid=$!
# Until it is complete the file being written has a hidden name.
wait_for_writing "$work/out2/.long_(new).converting-$pid.avi"
[ ! -e "$work/out2/long_(new).avi" ] || fail "an unfinished file has the finished file's name"
kill -INT $pid
wait $pid
rc=$?
[ $rc -eq 130 ] || fail "exit status $rc after Ctrl-C (expected 130): $(tail -3 "$work/log2")"
[ -s "$work/out2/long_(new).avi.part" ] || fail "no partial file set aside"
ffprobe -v error "$work/out2/long_(new).avi.part" || fail "the partial file is not readable"
left="$(ls -A "$work/out2")"
[ "$left" = "long_(new).avi.part" ] || fail "Ctrl-C left more than the partial file: $left"

# 3. The run's copy of the settings store never goes through a name planted in the temporary
#    folder: a link at the name the copy once had (made from the process id) is left alone, and
#    so is the file it points to.
tmp="$work/tmp"
mkdir -p "$tmp"
echo "precious" > "$work/victim"
TMPDIR="$tmp" sh -c 'ln -s "$1" "$TMPDIR/morvane-convert-$$.ini"; exec "$2" --yes --profile 2307 \
  --output-dir "$3" "$4"' sh "$work/victim" "$convert" "$work/out3" "$work/good.mp4" \
  > "$work/log3" 2>&1 || fail "conversion with a planted link failed: $(cat "$work/log3")"
[ "$(cat "$work/victim")" = "precious" ] || fail "the settings copy was written through a planted link"
[ -s "$work/out3/good_(new).avi" ] || fail "no output with a planted link"
[ -z "$(find "$tmp" -name 'morvane-convert-*' -type d)" ] || fail "the private folder was left behind"

# 4. Every program answers --help (usage, options, exit status) and --version.
for program in morvane morvane-convert morvane-engine morvane-play; do
  help="$("$build/app/$program" --help 2>&1)" || fail "$program --help: exit status $?"
  for word in Usage Options "Exit status"; do
    grep -q "$word" <<< "$help" || fail "$program --help says nothing of '$word': $help"
  done
  "$build/app/$program" --version | grep -Eq "^$program [0-9]+\.[0-9]+\.[0-9]+" ||
    fail "$program --version"
done
# 5. A start past a source's end is refused before the run, with the source's duration; the
#    other files are converted and the exit status says that one failed.
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=8 \
  -c:v libx264 -preset ultrafast "$work/eight.mp4"
"$convert" --yes --profile 2307 --start 5 --output-dir "$work/out5" "$work/good.mp4" \
  "$work/eight.mp4" > "$work/log5" 2>&1
rc=$?
[ $rc -eq 1 ] || fail "exit status $rc with a start past one file's end (expected 1)"
grep -q "good.mp4: the start 00:00:05.000 is beyond the end of the source (duration 00:00:02" \
  "$work/log5" || fail "no refusal with the duration: $(cat "$work/log5")"
grep -q "1 converted, 1 failed" "$work/log5" || fail "wrong summary: $(cat "$work/log5")"
left="$(ls -A "$work/out5")"
[ "$left" = "eight_(new).avi" ] || fail "a start past the end left a file: $left"

# 6. An output folder that names a file is refused: nothing is written there or elsewhere.
echo "keep me" > "$work/plain"
HOME="$work/home" "$convert" --yes --profile 2307 --output-dir "$work/plain" "$work/good.mp4" \
  > "$work/log6" 2>&1
rc=$?
[ $rc -ne 0 ] || fail "exit status 0 with a file as the output folder"
grep -q "cannot write into the output folder $work/plain: it is a file, not a folder" \
  "$work/log6" || fail "no clear refusal: $(cat "$work/log6")"
[ "$(cat "$work/plain")" = "keep me" ] || fail "the file named as output folder changed"
[ ! -e "$work/home/videoconverter" ] || fail "the output went elsewhere: $(find "$work/home")"

# 7. A process killed during a conversion leaves no file under the finished file's name.
"$convert" --yes --profile 2307 --output-dir "$work/out7" "$work/long.mp4" > "$work/log7" 2>&1 &
pid=$!
wait_for_writing "$work/out7/.long_(new).converting-$pid.avi"
kill -KILL $pid
wait $pid 2>/dev/null
[ -s "$work/out7/.long_(new).converting-$pid.avi" ] || fail "nothing was being written when killed"
[ ! -e "$work/out7/long_(new).avi" ] || fail "a killed conversion left the finished file's name"
#    The next start removes what the killed run left; a working file of a writer that is still
#    there (this shell) and files that only look alike stay.
echo "live" > "$work/out7/.other_(new).converting-$$.avi"
echo "mine" > "$work/out7/.other_(new).converting.avi"
"$convert" --yes --profile 2307 --output-dir "$work/out7" "$work/good.mp4" > "$work/log7b" 2>&1 ||
  fail "the run after a killed one failed: $(cat "$work/log7b")"
grep -q "removed $work/out7/.long_(new).converting-$pid.avi" "$work/log7b" ||
  fail "the removal was not told: $(cat "$work/log7b")"
left="$(cd "$work/out7" && ls -A | LC_ALL=C sort | tr '\n' ' ')"
[ "$left" = ".other_(new).converting-$$.avi .other_(new).converting.avi good_(new).avi " ] ||
  fail "after a killed run the next start left: $left"

# 8. A hand-damaged format INI: profile 401's volume list lost its items, so its default index
# selects none.  The run names the file, profile and key, ends with status 1, and still converts
# the batch with the values that could be read (the source's loudness).
sed -e '/^\[formatInfo401\]/,/^\[/ s/^Volume=.*/Volume=25%,Rate=1/' \
  "$MORVANE_FORMAT_INI" > "$work/damaged.ini"
grep -q '^Volume=25%,Rate=1' "$work/damaged.ini" || fail "fixture: the volume list was not damaged"
cp "$work/good.mp4" "$work/second.mp4"
MORVANE_FORMAT_INI="$work/damaged.ini" MORVANE_SETTINGS_INI="$work/damaged-settings.ini" \
  "$convert" --yes --profile 401 --output-dir "$work/out8" "$work/good.mp4" "$work/second.mp4" \
  > "$work/log8" 2>&1
rc=$?
[ $rc -eq 1 ] || fail "exit status $rc with a damaged format INI (expected 1): $(cat "$work/log8")"
grep -q "damaged.ini: profile 401, section \[formatInfo401\], key iVolume: 3 selects no item of Volume=25%,Rate=1" \
  "$work/log8" || fail "no worded error naming profile and key: $(cat "$work/log8")"
grep -q "terminate called" "$work/log8" && fail "aborted: $(cat "$work/log8")"
for f in good second; do
  [ -s "$work/out8/${f}_(new).mp4" ] || fail "$f.mp4 of the batch was not converted"
done
grep -q "2 converted, 0 failed" "$work/log8" || fail "no summary: $(cat "$work/log8")"

# 9. Named pipes and names that are not UTF-8 are refused with a message naming them, without
#    being opened (a pipe would keep the run waiting for a writer for ever); the batch goes on.
mkfifo "$work/fifo.mp4"
cp "$work/good.mp4" "$work/caf"$'\xe9'".mp4"
timeout 60 "$convert" --yes --profile 2307 --output-dir "$work/out9" "$work/fifo.mp4" \
  "$work/caf"$'\xe9'".mp4" "$work/good.mp4" > "$work/log9" 2>&1
rc=$?
[ $rc -ne 124 ] || fail "the run waited on the named pipe"
[ $rc -eq 1 ] || fail "exit status $rc with a pipe among the files (expected 1): $(cat "$work/log9")"
grep -qF "$work/fifo.mp4: is a named pipe, not a regular file; only regular files can be converted" \
  "$work/log9" || fail "no message for the pipe: $(cat "$work/log9")"
grep -qx "$work/caf\\\\xE9.mp4: the file name is not valid UTF-8 text; rename the file to convert it" \
  "$work/log9" || fail "no message for the name that is not UTF-8: $(cat "$work/log9")"
grep -q "1 converted, 2 failed" "$work/log9" || fail "wrong summary: $(cat "$work/log9")"
timeout 20 "$convert" --info "$work/fifo.mp4" > "$work/log9b" 2>&1
rc=$?
[ $rc -eq 1 ] || fail "--info on a pipe: exit status $rc (expected 1)"
grep -q "is a named pipe" "$work/log9b" || fail "--info on a pipe: $(cat "$work/log9b")"

# 10. Stream copy from the command line: the MKV profile with --set paraVideoEncoder=copy keeps
#     the source's video packets as they are (the sound is encoded); a VP9 video copied into AVI
#     is refused before anything is written, naming the codec and the container.
ffmpeg -nostdin -v error -i "$work/good.mp4" -c copy "$work/good.mkv"
"$convert" --yes --profile 2200 --set paraVideoEncoder=copy --output-dir "$work/out10" \
  "$work/good.mkv" > "$work/log10" 2>&1 || fail "copy into MKV failed: $(cat "$work/log10")"
sum() { ffmpeg -nostdin -v error -i "$1" -map 0:v:0 -c copy -f streamhash -hash md5 -; }
[ "$(sum "$work/out10/good_(new).mkv")" = "$(sum "$work/good.mkv")" ] ||
  fail "the copied video differs from the source's"
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=160x120:rate=10:duration=1 \
  -c:v libvpx-vp9 -deadline realtime "$work/vp9.mkv"
"$convert" --yes --profile 2304 --set paraVideoEncoder=copy --output-dir "$work/out11" \
  "$work/vp9.mkv" > "$work/log11" 2>&1
rc=$?
[ $rc -eq 1 ] || fail "exit status $rc for VP9 copied into AVI (expected 1)"
grep -q "vp9.mkv: the source's video (vp9) cannot be copied into the container avi" "$work/log11" ||
  fail "no refusal naming codec and container: $(cat "$work/log11")"
[ -z "$(ls -A "$work/out11" 2>/dev/null)" ] || fail "a refused copy left a file: $(ls -A "$work/out11")"

echo "10 passed, 0 failed"
