#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, test and run.  Idempotent: apt-get
# runs only when something is missing.  With --fuzz also clang and its libFuzzer (bench/fuzz
# only; the build and the test suite do not need them).
set -euo pipefail

PACKAGES=(
  build-essential cmake make pkg-config
  libavcodec-dev libavformat-dev libavfilter-dev libavdevice-dev libavutil-dev
  libswscale-dev libswresample-dev libsdl2-dev
  libsimpleini-dev qt6-base-dev libgtest-dev fonts-dejavu-core libx11-dev
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  ffmpeg xvfb xauth time bc dbus-daemon
  desktop-file-utils appstream
)
[ "${1:-}" = "--fuzz" ] && PACKAGES+=(clang libclang-rt-dev)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
