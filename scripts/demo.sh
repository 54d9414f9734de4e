#!/usr/bin/env bash
# The main example: shows the plugin at work in the stand-in host.
set -euo pipefail
build=${1:-build}
"$build/velloran" --commands
