#!/usr/bin/env bash
# The program as `make run` shows it: report the media libraries the loader finds and make a
# small sample clip; then, on a desktop, open the main window with the sample in its list, and
# without a display convert the sample with the stored (or default) profile, say where it went
# and how to open the window.
set -euo pipefail
build="${1:-build}"

# Whether the X display the window would open on answers.  The program always draws through X11
# (XWayland in a Wayland session), so a Wayland session without an X display does not count.
display_reachable() {
  [ -n "${DISPLAY:-}" ] || return 1
  if command -v xdpyinfo > /dev/null; then
    xdpyinfo > /dev/null 2>&1
    return
  fi
  # Without the X utilities: a local display ":N" listens on its socket, a remote "host:N" on
  # TCP port 6000+N.
  local host="${DISPLAY%%:*}" number="${DISPLAY#*:}"
  number="${number%%.*}"
  if [ -z "$host" ] || [ "$host" = unix ]; then
    [ -S "/tmp/.X11-unix/X$number" ]
  else
    timeout 2 bash -c "exec 3<>/dev/tcp/$host/$((6000 + number))" 2> /dev/null
  fi
}

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

if display_reachable; then
  echo "Opening the main window on $DISPLAY with $sample in its list"
  exec "$build/app/morvane" -- "$sample"
fi

"$build/app/morvane-convert" --yes "$sample"
echo
if [ -n "${WAYLAND_DISPLAY:-}" ] && [ -z "${DISPLAY:-}" ]; then
  echo "No X display: the window draws through X11, so it needs XWayland in this Wayland session."
elif [ -n "${DISPLAY:-}" ]; then
  echo "The X display $DISPLAY does not answer, so the window was not opened."
else
  echo "No display here, so the window was not opened."
fi
echo "To open it, run on a desktop: $build/app/morvane $sample"
