#!/usr/bin/env bash
# Prints a digest of the event dump of every bench input, whole and in
# chunks, merging on and off, for one build: run it for two builds and diff
# the outputs to show that a change kept every event.
#
#   bench/compare_events.sh BUILD_DIR DATA_DIR > digests.txt
set -euo pipefail
build=$1 data=$2
here=$(dirname "$0")
for input in realworld records text deep; do
  for chunk in 0 1 7 65536; do
    for merge in 1 0; do
      for mode in three all; do
        digest=$("$build/velloran" "$here/dump_events.lua" "$data/$input.xml" $chunk $merge $mode |
          md5sum | cut -d' ' -f1)
        echo "$input chunk=$chunk merge=$merge $mode $digest"
      done
    done
  done
done
