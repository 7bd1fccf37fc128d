#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs the whole test suite. In CI
# (or with --faults) the fault suite follows: tools/fault-suite.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/configure.sh build -DTOLVIK_WERROR=ON
cmake --build build -j"$(nproc)"
# The window test needs a display: use a virtual one when there is none.
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1024x1280x24" ctest --test-dir build --output-on-failure -j"$(nproc)"
else
  ctest --test-dir build --output-on-failure -j"$(nproc)"
fi
if [ -n "${CI:-}" ] || [ "${1:-}" = "--faults" ]; then
  exec tools/fault-suite.sh
fi
