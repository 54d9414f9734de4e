#!/usr/bin/env bash
# Installs what a build folder holds, or removes it again (make install,
# make uninstall); DESTDIR, when set, is put in front of every path.
#
#   install.sh install BUILD_DIR PREFIX
#   install.sh uninstall PREFIX
set -euo pipefail

case "${1:-}" in
install)
  DESTDIR="${DESTDIR:-}" cmake --install "$2" --prefix "$3"
  ;;
uninstall)
  root="${DESTDIR:-}$2"
  rm -f "$root/bin/velloran" "$root/lib/lua/5.1/velloran/xml.so" "$root/lib/lua/5.1/velloran/xml.vlp"
  rm -rf "$root/lib/velloran" "$root/share/doc/velloran-xml"
  rmdir "$root/lib/lua/5.1/velloran" 2>/dev/null || true
  ;;
*)
  echo "usage: install.sh install BUILD_DIR PREFIX | uninstall PREFIX" >&2
  exit 2
  ;;
esac
