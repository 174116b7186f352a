#!/usr/bin/env bash
# Builds a second tree with AddressSanitizer and UndefinedBehaviorSanitizer
# (${KESTRO_BUILD_DIR:-build}-asan), runs the C++ tests there with leak
# detection, then the Python tests against that tree's modules. The
# interpreter is not sanitized, so the sanitizer runtimes are preloaded into
# it; CPython leaves memory behind at exit by design, so leak detection is off
# for that run only.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${KESTRO_BUILD_DIR:-$root/build}-asan"
# Debug: unoptimised objects compile fastest, and the sanitizers report
# exact lines.
KESTRO_BUILD_DIR="$build" BUILD_TYPE=Debug "$root/scripts/build.sh" -DKESTRO_SANITIZE=ON
py=$("$root/scripts/find-python.sh")

export UBSAN_OPTIONS=print_stacktrace=1
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt" \
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

preload="$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libubsan.so)"
cd "$root"
PYTHONPATH="$build/python:$build/python-testing:/usr/lib/python3/dist-packages" \
  KESTRO_SANITIZED=1 ASAN_OPTIONS=detect_leaks=0 LD_PRELOAD="$preload" \
  "$py" -m pytest -q -p no:cacheprovider bindings/py/tests modeler-tables-ext/tests
