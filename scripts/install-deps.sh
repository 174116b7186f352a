#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Safe to run again:
# apt is only touched when something is missing.
set -euo pipefail

# One check per test run: the build, sanitizer and fuzz scripts each call this,
# and the first one tells the others through the environment.
if [ "${KESTRO_DEPS_CHECKED:-}" = 1 ]; then exit 0; fi

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  libfmt-dev libgtest-dev
  zlib1g-dev libdeflate-dev libssl-dev libicu-dev libcurl4-openssl-dev libgit2-dev
  libsecret-1-dev php-composer-spdx-licenses
  python3-pytest
  clang-16 libclang-rt-16-dev libfuzzer-16-dev
  dbus gnome-keyring libsecret-tools util-linux git
  locales
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The tests read and write numbers under a locale whose decimal separator is a
# comma, to show that the readers and writers ignore the process locale.
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "generating the de_DE.UTF-8 locale"
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
