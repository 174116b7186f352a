#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Safe to run again:
# apt is only touched when something is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  libfmt-dev libgtest-dev googletest
  zlib1g-dev libssl-dev libicu-dev libcurl4-openssl-dev libgit2-dev
  libsecret-1-dev libre2-dev
  python3-pytest
  clang-16 libclang-rt-16-dev libfuzzer-16-dev
  dbus dbus-x11 gnome-keyring git
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
