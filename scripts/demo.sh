#!/usr/bin/env bash
# The main example: shows the plugin at work in the stand-in host.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
# A cross build's host runs under its emulator, through <build>/run.
velloran=$build/velloran
[ -x "$build/run" ] && velloran=$build/run

"$velloran" --version
echo
echo "== The outline of examples/outline.xml, from parser callbacks"
"$velloran" examples/outline.lua examples/outline.xml
echo
echo "== A settings table saved as XML and loaded back"
"$velloran" examples/settings.lua
