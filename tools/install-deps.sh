#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, skipping those present.
set -euo pipefail
packages=(
  # compiler, build and formatting; Ninja and lld keep a whole build short
  build-essential cmake ninja-build lld pkg-config clang-format
  # drawing, text, pictures and the window
  libsdl2-dev libcairo2-dev libpango1.0-dev libgdk-pixbuf-2.0-dev librsvg2-dev
  # the Wayland backend: the client library, the protocols and their scanner, keymaps
  libwayland-dev wayland-protocols libxkbcommon-dev
  # "Helvetica" resolves to Nimbus Sans through fontconfig
  fonts-urw-base35 fontconfig
  # mail: GMime builds messages; msmtp is the sendmail; tests run an SMTP server on loopback
  libgmime-3.0-dev msmtp msmtp-mta python3-aiosmtpd
  # staff password hashes (crypt(3), yescrypt)
  libcrypt-dev
  # the USB stick test: a drive image with FAT (ext2 where the kernel has no FAT), loop-mounted
  dosfstools e2fsprogs
  # tests and benchmarks
  libgtest-dev googletest libbenchmark-dev
  # the forwarder: libpq; its tests and benchmark run a PostgreSQL server of their own (and psql)
  libpq-dev postgresql
  # the window test: a virtual display (its cookie, its core fonts) and synthetic clicks
  xvfb xauth xfonts-base xdotool
  # the Debian package: built by CPack, its service checked, its kiosk run in cage and shot by grim
  dpkg-dev file adduser systemd libpam-systemd dbus dbus-daemon gvfs udisks2 cage xwayland grim
  # ... and given taps and keys through sway's virtual pointer and keyboard
  sway wtype
  # the fault suite: clang with its sanitizer and libFuzzer runtimes, the symbolizer for reports,
  # a CSV reader for the record fuzz target
  clang libclang-rt-14-dev llvm-14 libcsv-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
