#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when some are missing.
# Quiet when everything is present; runs `apt-get update` only when it has to install.
set -euo pipefail

packages=(
  cmake
  ninja-build
  g++-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-posix
  binutils-mingw-w64-i686 # windres and objdump: the package test reads the 32-bit resources
  wine
  wine64
  googletest
  clang
  libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "bootstrap: done"
