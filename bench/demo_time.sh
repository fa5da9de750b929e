#!/usr/bin/env bash
# How long `make demo` takes from a fresh clone, without a terminal (its configure, its build
# and the headless run, whose end is the first screen's moment plus a fraction of a second):
# wall time, the CPU time of all it ran, and the machine's load beside them, since a shared
# machine's other work shows in the wall time only. REV (default: the checkout's HEAD) is the
# commit measured; the packages must be in place (make deps).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
rev=${1:-HEAD}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone -q "$here" "$work/clone"
cd "$work/clone"
git checkout -q "$(git -C "$here" rev-parse "$rev")"
before=$(cut -d' ' -f1-3 /proc/loadavg)
TIMEFORMAT="make demo from a fresh clone of $(git rev-parse --short HEAD): %R s wall, %U s user + %S s sys"
if ! time make demo </dev/null >"$work/demo.log" 2>&1; then
  cat "$work/demo.log" >&2
  exit 1
fi
echo "on $(nproc) cores; load average before $before, after $(cut -d' ' -f1-3 /proc/loadavg)"
