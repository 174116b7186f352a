#!/usr/bin/env bash
# Prints the path of a CPython 3.12 interpreter, or fails with a clear message.
set -euo pipefail
cand=""
if command -v pyenv >/dev/null 2>&1; then
  cand=$(PYENV_VERSION=3.12.1 pyenv which python3 2>/dev/null || true)
fi
if [ -z "$cand" ] && [ -x "$HOME/.pyenv/versions/3.12.1/bin/python3" ]; then
  cand="$HOME/.pyenv/versions/3.12.1/bin/python3"
fi
if [ -z "$cand" ] && command -v python3.12 >/dev/null 2>&1; then
  cand=$(command -v python3.12)
fi
if [ -z "$cand" ] || ! "$cand" -c 'import sys; assert sys.version_info[:2] == (3, 12)' 2>/dev/null; then
  echo "error: CPython 3.12 not found (looked for pyenv 3.12.1 and python3.12 on PATH)" >&2
  exit 1
fi
echo "$cand"
