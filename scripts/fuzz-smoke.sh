#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang-16 into a build directory
# of their own, then runs each one over a copy of its seed corpus: every
# seed once, then new inputs for a short while. Fails when any target
# crashes, leaks or breaks one of its properties; the input that did is
# kept and named. The repository's corpus is never changed.
#
#   KESTRO_FUZZ_BUILD_DIR  the build directory (default: ${KESTRO_BUILD_DIR:-build}-fuzz)
#   KESTRO_FUZZ_SECONDS    time per target after the seeds (default 10)
#   KESTRO_FUZZ_JOBS       targets run at once (default: half the cores)
#   KESTRO_FUZZ_SEED       the fuzzer's random seed (default 1, so that the
#                          test run explores the same inputs on every machine;
#                          0 lets each run pick its own)
#   arguments              target names to run (default: all)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export KESTRO_DEPS_CHECKED=1
py=$("$root/scripts/find-python.sh")
build="${KESTRO_FUZZ_BUILD_DIR:-${KESTRO_BUILD_DIR:-$root/build}-fuzz}"
seconds="${KESTRO_FUZZ_SECONDS:-10}"
jobs="${KESTRO_FUZZ_JOBS:-$(( ($(nproc) + 1) / 2 ))}"
seed="${KESTRO_FUZZ_SEED:-1}"

launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16 -DKESTRO_FUZZ=ON \
  -DPython3_EXECUTABLE="$py" "${launcher[@]}" >/dev/null
cmake --build "$build" --target kestro_fuzz -j "$(nproc)"

targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for src in "$root"/fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One target: its corpus copied, seeds run, then fuzzing for $seconds.
run_target() {
  local name=$1 dir="$work/$1"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  if [ -d "$root/fuzz/corpus/$name" ]; then cp -R "$root/fuzz/corpus/$name/." "$dir/corpus/"; fi
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
      "$build/fuzz/$name" -max_total_time="$seconds" -seed="$seed" -timeout=25 -rss_limit_mb=2048 \
      -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/log" 2>&1; then
    echo "fuzz $name: ok ($(grep -o 'Done [0-9]* runs' "$dir/log" | tail -1 || true))"
  else
    echo "fuzz $name: FAILED"
    tail -n 60 "$dir/log"
    for a in "$dir"/artifacts/*; do
      [ -e "$a" ] || continue
      mkdir -p "$build/fuzz-artifacts"
      cp "$a" "$build/fuzz-artifacts/${name}-$(basename "$a")"
      echo "input kept: $build/fuzz-artifacts/${name}-$(basename "$a")"
    done
    return 1
  fi
}

status=0
running=0
for name in "${targets[@]}"; do
  run_target "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
if [ "$status" -ne 0 ]; then echo "fuzz smoke run: a target failed"; fi
exit "$status"
