#!/usr/bin/env bash
# Builds everything into build/ (installing missing system packages first),
# with warnings as errors. The Python modules land in build/python. Extra
# arguments go to CMake's configure step (e.g. -DKESTRO_SANITIZE=ON).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export KESTRO_DEPS_CHECKED=1
py=$("$root/scripts/find-python.sh")
build="${KESTRO_BUILD_DIR:-$root/build}"
launcher=()
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
  -DPython3_EXECUTABLE="$py" -DKESTRO_WERROR=ON "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
