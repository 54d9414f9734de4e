#!/usr/bin/env bash
# make install into a temporary DESTDIR: the installed host finds its plugin
# and prints what the built one prints; make uninstall leaves nothing.
set -euo pipefail
build=$1 src=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest bash "$src/scripts/install.sh" install "$build" /opt/vx >/dev/null
root=$dest/opt/vx docs=$dest/opt/vx/share/doc/velloran-xml
cd "$docs/examples"
diff <("$root/bin/velloran" outline.lua outline.xml) <("$build/velloran" outline.lua outline.xml)
grep -q "^## " "$docs/README.md"
DESTDIR=$dest bash "$src/scripts/install.sh" uninstall /opt/vx
left=$(find "$dest" ! -type d)
[ -z "$left" ] || { echo "left by uninstall: $left"; exit 1; }
