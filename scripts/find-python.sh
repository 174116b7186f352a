#!/usr/bin/env bash
# Prints the path of a CPython 3.12 or later interpreter, or fails with a clear
# message. $KESTRO_PYTHON, when set, is the one to use. Otherwise the first
# usable of: pyenv's chosen interpreter, python3 on PATH, python3.NN on PATH,
# pyenv's installed versions; among versions the oldest usable comes first,
# so a machine with several builds against the same one each time.
set -euo pipefail

# Exit status 0 when "$1" runs and is CPython 3.12 or later.
usable() {
  [ -n "$1" ] && [ -x "$1" ] && "$1" -c 'import sys
sys.exit(0 if sys.implementation.name == "cpython" and sys.version_info >= (3, 12) else 1)' 2>/dev/null
}

if [ -n "${KESTRO_PYTHON:-}" ]; then
  if usable "$KESTRO_PYTHON"; then echo "$KESTRO_PYTHON"; exit 0; fi
  echo "error: KESTRO_PYTHON=$KESTRO_PYTHON is not a CPython 3.12 or later" >&2
  exit 1
fi

cands=()
if command -v pyenv >/dev/null 2>&1; then cands+=("$(pyenv which python3 2>/dev/null || true)"); fi
if command -v python3 >/dev/null 2>&1; then cands+=("$(command -v python3)"); fi
for minor in $(seq 12 40); do
  if command -v "python3.$minor" >/dev/null 2>&1; then cands+=("$(command -v "python3.$minor")"); fi
done
versions="${PYENV_ROOT:-$HOME/.pyenv}/versions"
if [ -d "$versions" ]; then
  while IFS= read -r v; do cands+=("$versions/$v/bin/python3"); done \
    < <(ls "$versions" | grep -E '^3\.[0-9]+\.[0-9]+$' | sort -t. -k2,2n -k3,3n)
fi

for cand in "${cands[@]}"; do
  if usable "$cand"; then
    echo "$cand"
    exit 0
  fi
done
echo "error: CPython 3.12 or later not found (looked at pyenv, python3 and python3.NN on PATH, and pyenv's versions)" >&2
exit 1
