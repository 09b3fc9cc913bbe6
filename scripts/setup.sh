#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build, the tests (libabigail for the ABI
# check among them) and the demo need, when they are missing, and prepares
# the machine-wide bits the tests use (the de_DE.UTF-8 locale for the
# decimal-comma tests, a Wine prefix). Safe to run again: it only does what is
# not done yet.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
  clang libclang-rt-14-dev libfuzzer-14-dev clang-format clang-tidy python3
  rsyslog locales
  libboost-dev libabsl-dev libpoco-dev libisal-dev
  doxygen lintian dpkg-dev file unzip abigail-tools
)
if [ "${1:-}" = "--demo" ]; then
  packages=(cmake ninja-build g++ pkg-config)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ "${1:-}" != "--demo" ]; then
  # A locale with a decimal comma, for the tests that prove number texts ignore the locale.
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [ -f /etc/locale.gen ]; then
      $sudo sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
      grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
      $sudo locale-gen >/dev/null 2>&1 || echo "setup: locale-gen failed; the decimal-comma tests will say they are skipped"
    fi
  fi
fi
