#!/usr/bin/env bash
# Installs what is missing, builds the kiosk and starts it. Options go to the kiosk
# (tools/run.sh --help lists them).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/configure.sh build
cmake --build build -j"$(nproc)" --target tolvik-kiosk
exec build/tolvik-kiosk "$@"
