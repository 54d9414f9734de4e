#!/usr/bin/env bash
# Runs a command against the newest libexpat1 that the machine's package
# sources offer (security updates included) without installing it: the
# package is downloaded once into BUILD_DIR/newest-expat/<version>/ and
# unpacked there, and the command runs with that library first on the
# library path.
#
#   newest_expat.sh BUILD_DIR MODULE COMMAND [ARG...]
#
# MODULE is a file that links Expat (the plugin); the run fails unless it
# resolves libexpat.so.1 to the downloaded copy. Exits 77 (skipped) only
# when the package cannot be had, e.g. without a network.
set -euo pipefail

mkdir -p "$1/newest-expat"
build=$(cd "$1" && pwd)
module=$2
shift 2

skip() {
  echo "SKIP: $*"
  exit 77
}

candidate() {
  apt-cache policy libexpat1 2>/dev/null | awk '/Candidate:/ { print $2 }'
}

# Downloads and unpacks libexpat1 $version into $dir; false on failure.
fetch() {
  rm -rf "$dir"
  mkdir -p "$dir"
  (cd "$dir" && apt-get -q -o APT::Sandbox::User=root download "libexpat1=$version") \
    >"$dir/download.log" 2>&1 || return 1
  dpkg-deb -x "$dir"/libexpat1_*.deb "$dir/root" ||
    { echo "FAIL: cannot unpack libexpat1 $version" >&2; exit 1; }
  touch "$dir/unpacked"
}

# One download per build folder, whatever runs side by side.
exec 9>"$build/newest-expat/lock"
flock 9

version=$(candidate)
dir=$build/newest-expat/${version:-none}
if [ ! -e "$dir/unpacked" ]; then
  # Stale package lists name a version that the archive no longer has:
  # read them again once.
  if [ -z "$version" ] || [ "$version" = "(none)" ] || ! fetch; then
    apt-get update -q >/dev/null 2>&1 || true
    version=$(candidate)
    dir=$build/newest-expat/${version:-none}
    [ -n "$version" ] && [ "$version" != "(none)" ] || skip "apt knows no libexpat1 package"
    fetch || skip "cannot download libexpat1 $version: $(tail -n 1 "$dir/download.log")"
  fi
fi

library=$(find "$dir/root" -name libexpat.so.1 -print -quit)
[ -n "$library" ] || { echo "FAIL: the libexpat1 $version package holds no libexpat.so.1" >&2; exit 1; }
libdir=$(dirname "$library")
export LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
resolved=$(ldd "$module")
if [[ $resolved != *"libexpat.so.1 => $libdir/"* ]]; then
  echo "FAIL: $module does not load $library" >&2
  echo "$resolved" >&2
  exit 1
fi
echo "libexpat1 $version from $libdir"
exec "$@"
