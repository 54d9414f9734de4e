#!/usr/bin/env bash
# The main example: shows the plugin at work in the stand-in host.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."

"$build/velloran" --version
echo
echo "== The outline of examples/outline.xml, from parser callbacks"
"$build/velloran" examples/outline.lua examples/outline.xml
echo
echo "== A settings table saved as XML and loaded back"
"$build/velloran" examples/settings.lua
