#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the data builder and the tests
# need, when any is missing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libode-dev libsdl2-dev libpng-dev zlib1g-dev libgl-dev libfreetype-dev fonts-dejavu-core
  libgtest-dev
  xvfb xauth libgl1-mesa-dri
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
