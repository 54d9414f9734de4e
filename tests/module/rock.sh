#!/usr/bin/env bash
# The module as a Lua programmer gets it: `luarocks make` of a copy of the
# checkout into a tree of its own, then Debian's lua5.1 and luajit run
# module.lua through require "velloran.xml" with that tree's module.
set -euo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
(cd "$src" && git ls-files -z -co --exclude-standard | tar --null -T - --ignore-failed-read -cf -) |
  tar -xf - -C "$work/src"
cd "$work/src"
CMAKE_BUILD_PARALLEL_LEVEL=2 luarocks --lua-version=5.1 make --tree "$work/tree" >"$work/log" 2>&1 ||
  { cat "$work/log"; exit 1; }
for lua in lua5.1 luajit; do
  echo "== $lua"
  LUA_CPATH="$work/tree/lib/lua/5.1/?.so" "$lua" "$src/tests/module/module.lua" "$src/README.md"
done
