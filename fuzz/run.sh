#!/usr/bin/env bash
# Runs every fuzz target of a fuzzing build for the given seconds each and
# prints one line of figures per target. The committed seeds in
# fuzz/corpus/<name> are read, never written: what a run learns goes to
# <build>/corpus/<name>, crashing inputs to <build>/artifacts/.
#   fuzz/run.sh BUILD_DIR SECONDS
set -uo pipefail

build=${1:?build dir}
seconds=${2:?seconds per target}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0

for binary in "$build"/fuzz/fuzz_*; do
  name=${binary##*/fuzz_}
  corpus="$build/corpus/$name"
  artifacts="$build/artifacts"
  log="$build/fuzz_$name.log"
  mkdir -p "$corpus" "$artifacts"
  dict=()
  [ -f "$root/fuzz/$name.dict" ] && dict=(-dict="$root/fuzz/$name.dict")
  start=$(date +%s.%N)
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=20 \
      -rss_limit_mb=2048 -max_len=16384 -artifact_prefix="$artifacts/$name-" "${dict[@]}" \
      "$corpus" "$root/fuzz/corpus/$name" >"$log" 2>&1
  rc=$?
  end=$(date +%s.%N)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ $rc -eq 0 ]; then
    printf 'fuzz %-7s %9s runs in %5.1f s, corpus %s inputs, no failure\n' "$name" "${runs:-?}" \
      "$(awk "BEGIN { print $end - $start }")" "$(ls "$corpus" | wc -l)"
  else
    echo "fuzz $name FAILED (exit $rc); log: $log" >&2
    grep -E "ERROR|fuzz:|SUMMARY|Test unit written" "$log" | head -20 >&2
    status=1
  fi
done
exit $status
