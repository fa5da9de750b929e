#!/usr/bin/env bash
# The idle viewer over a minute: its wake-ups (strace), its CPU time (schedstat, in ns), and the
# resident memory of the viewer and of the host with the plug-in loaded. Needs tmux.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
work=$(mktemp -d)
sock=brimwell-bench-$$
trap 'tmux -L "$sock" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT

root="$work/device"
mkdir -p "$root/tmp" "$root/Library/MobileSubstrate/DynamicLibraries"
ln -s "$build/lib/Brimwell.dylib" "$root/Library/MobileSubstrate/DynamicLibraries/Brimwell.dylib"
cp "$(dirname "$0")/../fuzz/corpus/status_file/charging.xml" "$root/tmp/batteryStatus.plist"
env_="SIM_DEVICE_ROOT=$root SIM_MODEL_IDENTIFIER=iPhone7,2 TERM=xterm-256color"

tmux -L "$sock" -f /dev/null new-session -d -s bench -x 100 -y 40 \
  "exec env $env_ strace -f -tt -o $work/viewer.strace $build/bin/BrimwellViewer"
tmux -L "$sock" new-window -t bench "exec env $env_ $build/bin/BrimwellViewer"
tmux -L "$sock" new-window -t bench "exec env $env_ $build/bin/springboard-sim --source sim"
sleep 3
viewer=$(tmux -L "$sock" list-panes -t bench:1 -F '#{pane_pid}')
host=$(tmux -L "$sock" list-panes -t bench:2 -F '#{pane_pid}')
cpu() { cut -d' ' -f1 "/proc/$1/schedstat"; }
before=$(cpu "$viewer")
sleep "$seconds"
after=$(cpu "$viewer")
rss() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }
viewer_rss=$(rss "$viewer" VmRSS); viewer_hwm=$(rss "$viewer" VmHWM)
host_rss=$(rss "$host" VmRSS); host_hwm=$(rss "$host" VmHWM)
tmux -L "$sock" kill-server

# Wake-ups: returns from the viewer's waits (polls that may sleep, not those with timeout 0).
waits=$(grep -E ' (poll|ppoll)\(' "$work/viewer.strace" | grep -cvE ', 0\) ' || true)
calls=$(grep -cE '^[0-9]+ +[0-9:.]+ [a-z_0-9]+\(' "$work/viewer.strace" || true)
first=$(grep -m1 -E ' (poll|ppoll)\(' "$work/viewer.strace" | awk '{print $2}')
last=$(grep -E ' (poll|ppoll)\(' "$work/viewer.strace" | tail -1 | awk '{print $2}')
cpu_ms=$(awk -v a="$before" -v b="$after" -v s="$seconds" 'BEGIN {printf "%.2f", (b - a) / 1e6 * 60 / s}')

printf 'idle viewer, %s s: %s wake-ups (first wait %s, last %s), %s system calls in all\n' \
  "$seconds" "$waits" "$first" "$last" "$calls"
printf 'idle viewer CPU: %s ms a minute (target under 10)\n' "$cpu_ms"
printf 'resident memory: viewer %s KiB (peak %s), host with the plug-in %s KiB (peak %s); target under 8192\n' \
  "$viewer_rss" "$viewer_hwm" "$host_rss" "$host_hwm"
