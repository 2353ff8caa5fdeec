#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the game and the tests need, when missing.
set -euo pipefail
pkgs=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
      libsdl2-dev liblua5.1-0-dev libepoxy-dev libopenal-dev libsndfile1-dev
      libpugixml-dev lld libgl1-mesa-dri xvfb xauth xdotool openbox libvorbis-dev clang libclang-rt-14-dev
      libstb-dev libmeshoptimizer-dev fonts-dejavu-core zlib1g-dev clang-tidy clang-format)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
