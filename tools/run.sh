#!/usr/bin/env bash
# Installs what is missing, builds, and starts the kiosk in a window.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ -x build/tolvik-kiosk ]; then exec build/tolvik-kiosk; else exec build/kit-gallery; fi
