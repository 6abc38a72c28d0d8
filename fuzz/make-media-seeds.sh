#!/usr/bin/env bash
# Seed inputs of the media harness: a few kilobyte-sized clips of the containers and codecs the
# converter meets most, so that mutation starts from files the demuxers and decoders accept.
set -euo pipefail
out="$1"
mkdir -p "$out"
ff() { ffmpeg -nostdin -v error -y "$@"; }
video=(-f lavfi -i testsrc2=size=48x32:rate=10:duration=0.3)
sound=(-f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.3)
ff "${video[@]}" "${sound[@]}" -c:v libx264 -preset ultrafast -c:a aac -b:a 16k "$out/h264-aac.mp4"
ff "${video[@]}" "${sound[@]}" -c:v mpeg4 -q:v 20 -c:a libmp3lame -b:a 16k "$out/mpeg4-mp3.avi"
ff "${video[@]}" "${sound[@]}" -c:v mpeg2video -q:v 20 -c:a mp2 -b:a 32k -f mpegts "$out/mpeg2.ts"
ff "${video[@]}" "${sound[@]}" -c:v libvpx -b:v 20k -c:a libvorbis "$out/vp8-vorbis.webm"
ff "${video[@]}" -c:v flv -q:v 20 "$out/flv1.flv"
ff "${sound[@]}" -c:a pcm_s16le "$out/pcm.wav"
ff "${video[@]}" -c:v h263 -s 128x96 "$out/h263.3gp"
touch "$out.made"
