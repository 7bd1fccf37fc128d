#!/usr/bin/env bash
# The standing fault suite, run by CI after the test suite:
#   - the whole test suite built with clang, AddressSanitizer and UndefinedBehaviorSanitizer, in
#     build-asan (any report fails the run; the storage fault table and the kill -9 soak included);
#   - each libFuzzer target of fuzz/ for a fixed time from its seed corpus in fuzz/corpus/.
# TOLVIK_FUZZ_SECONDS (default 20) sets the time per target, TOLVIK_SOAK_KILLS (default 60 here)
# the number of kills of the soak.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzz_seconds=${TOLVIK_FUZZ_SECONDS:-20}
# The soak in the sanitizer build kills more often than the everyday suite does.
export TOLVIK_SOAK_KILLS=${TOLVIK_SOAK_KILLS:-60}

export ASAN_OPTIONS=abort_on_error=0:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Leaks of the system's text, picture and window libraries (font caches kept for the process's
# life) are theirs; anything of ours is reported.
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
if [ -x /usr/bin/llvm-symbolizer-14 ]; then export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14; fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
tools/configure.sh build-asan -DTOLVIK_SANITIZE=ON -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}"
cmake --build build-asan -j"$(nproc)"
# The package test installs a package system-wide: that is for the normal build alone.
tests=(ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -E '^Package$')
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1024x1280x24" "${tests[@]}"
else
  "${tests[@]}"
fi

# New inputs a run finds go to a scratch folder; the committed seeds stay as they are. The targets
# run side by side, one a core, each for the same time.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fuzz() {
  local target=$1 name
  name=$(basename "$target")
  mkdir -p "$scratch/$name" "$scratch/$name.artifacts"
  "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$scratch/$name.artifacts/" -print_final_stats=1 \
    "$scratch/$name" "fuzz/corpus/$name" >"$scratch/$name.log" 2>&1
}
report() {
  local name=$1
  tail -n 60 "$scratch/$name.log"
  for crash in "$scratch/$name.artifacts"/*; do
    [ -e "$crash" ] && { echo "input: $crash"; od -c "$crash" | head -20; }
  done
}
targets=(build-asan/fuzz/*_fuzz)
failed=0
for ((i = 0; i < ${#targets[@]}; i += $(nproc))); do
  pids=()
  for target in "${targets[@]:i:$(nproc)}"; do
    echo "Fuzzing $(basename "$target") for ${fuzz_seconds}s"
    fuzz "$target" &
    pids+=("$!:$(basename "$target")")
  done
  for entry in "${pids[@]}"; do
    if ! wait "${entry%%:*}"; then
      report "${entry#*:}"
      failed=1
    fi
    grep -E "stat::number_of_executed_units|stat::new_units_added" "$scratch/${entry#*:}.log" || true
  done
done
if ((failed)); then exit 1; fi
echo "Fault suite passed."
