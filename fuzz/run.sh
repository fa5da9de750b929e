#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (default 600) on a working copy of its seed corpus, two at a
# time, and prints one line per target. A crash leaves its input in build-fuzz/findings/.
set -uo pipefail
build=${1:-build-fuzz}
seconds=${2:-600}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/work" "$build/findings" "$build/logs"

run() {
  local target=$1 work="$build/work/$1"
  mkdir -p "$work"
  cp -n "$here/corpus/$target/"* "$work/" 2>/dev/null
  "$build/bin/${target}_fuzz" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=16384 -artifact_prefix="$build/findings/$target-" -print_final_stats=1 \
    > "$build/logs/$target.log" 2>&1
  echo $? > "$build/logs/$target.status"
}

targets=(status_file settings scenario replay sysfs charge_request)
jobs=$(nproc)
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
  run "$target" &
done
wait

printf '%-12s %8s %12s %10s %8s\n' target seconds executions corpus crashes
failed=0
for target in "${targets[@]}"; do
  log="$build/logs/$target.log"
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  units=$(ls "$build/work/$target" | wc -l)
  status=$(cat "$build/logs/$target.status")
  crashes=$(ls "$build/findings" | grep -c "^$target-" || true)
  printf '%-12s %8s %12s %10s %8s\n' "$target" "$seconds" "${execs:-?}" "$units" "$crashes"
  [ "$status" -eq 0 ] && [ "$crashes" -eq 0 ] || failed=1
done
exit $failed
