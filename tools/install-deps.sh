#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, skipping those present.
set -euo pipefail
packages=(build-essential cmake pkg-config clang-format
  libsdl2-dev libcairo2-dev libpango1.0-dev libgdk-pixbuf-2.0-dev librsvg2-dev
  fonts-urw-base35 fontconfig libgtest-dev googletest libbenchmark-dev
  xvfb xauth xdotool)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
