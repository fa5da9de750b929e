#!/usr/bin/env bash
# Over a minute: the idle viewer's wake-ups (strace) and CPU time (schedstat, in ns); the resident
# memory of the viewer and of the host with the plug-in loaded. Then, over three minutes, the
# headless host on a laptop battery that drains steadily by 1 % in 3 minutes (a fixture folder,
# read when the next percent is due, as it runs in the background), beside upower's 2 a minute.
# Needs tmux.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
steady_seconds=${3:-180}
work=$(mktemp -d)
sock=brimwell-bench-$$
trap 'tmux -L "$sock" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT

root="$work/device"
mkdir -p "$root/tmp" "$root/Library/MobileSubstrate/DynamicLibraries"
ln -s "$build/lib/brimwell/Brimwell.dylib" "$root/Library/MobileSubstrate/DynamicLibraries/Brimwell.dylib"
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

# Then, on a quiet machine, the headless host on a laptop battery that does not change, as it
# runs in the background. Its wake-ups are the returns from its one wait (poll), counted from
# strace's record of it in the measured window; its CPU from schedstat.
sys="$work/sys/BAT0"
mkdir -p "$sys"
# 31 of 50 Wh at 10 W: 62 %, the next percent 3 minutes away.
for pair in type=Battery status=Discharging energy_now=31000000 energy_full=50000000 capacity=62 \
  power_now=10000000 voltage_min_design=12000000 voltage_now=12600000; do
  printf '%s\n' "${pair#*=}" > "$sys/${pair%%=*}"
done
env "SIM_DEVICE_ROOT=$root" strace -f -e trace=poll -e signal=none -o "$work/host.strace" \
  "$build/bin/springboard-sim" --source "sysfs=$work/sys" --headless > /dev/null 2>&1 &
tracer=$!
# After its first two readings (the second, 30 s on, brings the steady rate) it is settled.
sleep 35
headless=$(pgrep -f -n "springboard-sim --source sysfs=$work/sys")
waits_before=$(grep -c 'poll(' "$work/host.strace" || true)
host_before=$(cpu "$headless")
sleep "$steady_seconds"
host_after=$(cpu "$headless")
waits_after=$(grep -c 'poll(' "$work/host.strace" || true)
kill -TERM "$headless"
wait "$tracer" || true

# Wake-ups: returns from the waits (polls that may sleep, not those with timeout 0), those begun
# in the measured minute: from the first wait after start-up on.
wakeups() { grep -E ' (poll|ppoll)\(' "$1" | grep -cvE ', 0\) ' || true; }
waits=$(wakeups "$work/viewer.strace")
host_waits=$((waits_after - waits_before))
calls=$(grep -cE '^[0-9]+ +[0-9:.]+ [a-z_0-9]+\(' "$work/viewer.strace" || true)
first=$(grep -m1 -E ' (poll|ppoll)\(' "$work/viewer.strace" | awk '{print $2}')
last=$(grep -E ' (poll|ppoll)\(' "$work/viewer.strace" | tail -1 | awk '{print $2}')
per_minute() { awk -v a="$1" -v b="$2" -v s="$3" 'BEGIN {printf "%.2f", (b - a) / 1e6 * 60 / s}'; }
cpu_ms=$(per_minute "$before" "$after" "$seconds")
host_cpu_ms=$(per_minute "$host_before" "$host_after" "$steady_seconds")
host_rate=$(awk -v n="$host_waits" -v s="$steady_seconds" 'BEGIN {printf "%.2f", n * 60 / s}')

printf 'idle viewer, %s s: %s wake-ups (first wait %s, last %s), %s system calls in all\n' \
  "$seconds" "$waits" "$first" "$last" "$calls"
printf 'idle viewer CPU: %s ms a minute (target under 10)\n' "$cpu_ms"
printf 'resident memory: viewer %s KiB (peak %s), host with the plug-in %s KiB (peak %s); target under 8192\n' \
  "$viewer_rss" "$viewer_hwm" "$host_rss" "$host_hwm"
printf 'headless host on a battery draining 1 %% in 3 minutes, %s s: %s wake-ups (%s a minute; upower: 2 a minute), %s ms CPU a minute (target under 1 ms)\n' \
  "$steady_seconds" "$host_waits" "$host_rate" "$host_cpu_ms"
