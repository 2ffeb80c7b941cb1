#!/usr/bin/env bash
# Installs every Debian package the build, the game, the asset generators and
# the tests need. Idempotent and quick when everything is already there.
#
#   scripts/setup.sh            what building and playing need
#   scripts/setup.sh --tests    that, and Blender for the check that the
#                               committed Blender sample is the script's output
#                               (it runs in the background, -b: no display)
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libglfw3-dev libglew-dev libglm-dev libassimp-dev libdevil-dev
  libbullet-dev libopenal-dev libsndfile1-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool x11-apps imagemagick libgl1-mesa-dri mesa-utils
  python3 python3-numpy python3-pil fonts-dejavu-core
)

for argument in "$@"; do
  case "$argument" in
    --tests) packages+=(blender) ;;
    *) echo "usage: scripts/setup.sh [--tests]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
