#!/usr/bin/env bash
# Prints a digest of the event dump of bench inputs, whole and in chunks of
# 1, 7 and 64 KB bytes, merging on and off, for one build: run it for two
# builds and diff the outputs to show that a change kept every event. The
# "all" callbacks (every event but externalentityref) are dumped for every
# chunk size but 1.
#
#   bench/compare_events.sh BUILD_DIR DATA_DIR [INPUT...] > digests.txt
set -euo pipefail
build=$1 data=$2
shift 2
inputs=("$@")
[ ${#inputs[@]} -gt 0 ] || inputs=(realworld records text deep)
here=$(dirname "$0")
for input in "${inputs[@]}"; do
  for chunk in 0 1 7 65536; do
    for merge in 1 0; do
      for mode in three all; do
        [ "$chunk" = 1 ] && [ "$mode" = all ] && continue
        digest=$("$build/velloran" "$here/dump_events.lua" "$data/$input.xml" $chunk $merge $mode |
          md5sum | cut -d' ' -f1)
        echo "$input chunk=$chunk merge=$merge $mode $digest"
      done
    done
  done
done
