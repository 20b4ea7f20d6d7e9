#!/usr/bin/env bash
# Installs every Debian package the station, its tests and its tools use, and
# the packages named as arguments (a tool's own, such as the fuzz build's clang).
# Safe to run again: it only installs what is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qtbase5-dev qtbase5-dev-tools qttools5-dev-tools qtmultimedia5-dev
  libqt5opengl5-dev libqt5multimedia5-plugins libqt5sql5
  libjsoncpp-dev libqrencode-dev libmpg123-dev libarchive-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libzbar-dev sox
  xvfb xauth xdotool libgl1-mesa-dri libglx-mesa0 libgl-dev
  fonts-wqy-zenhei fonts-dejavu-core
)
PACKAGES+=("$@")

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  # sudo drops the caller's environment, so the front end is passed through env.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
