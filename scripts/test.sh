#!/usr/bin/env bash
# Builds, then runs every test: the C++ units through ctest, then the Python
# tests through pytest under CPython 3.12 or later.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export KESTRO_DEPS_CHECKED=1
"$root/scripts/build.sh"
py=$("$root/scripts/find-python.sh")
build="${KESTRO_BUILD_DIR:-$root/build}"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
export PYTHONPATH="$build/python:$build/python-testing:$root/engine-standin:/usr/lib/python3/dist-packages"
cd "$root"
"$py" -m pytest -q -p no:cacheprovider \
  bindings/py/tests modeler-tables-ext/tests engine-standin/tests scripts/tests "$@"
"$root/scripts/test-sanitize.sh"
"$root/scripts/fuzz-smoke.sh"
