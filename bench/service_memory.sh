#!/usr/bin/env bash
# The laptop service as it runs in the background, for 300 s (the second argument shortens it):
# on bench/idle.sh's fixture battery (1 % in 3 minutes at its steady rate), with its history (a
# fresh one it creates) and the plug-in, desktop alerts on a private session bus with nothing to
# show, and a stand-in logind (python3-dbusmock's template) on a private system bus, so that it
# holds its sleep inhibitor. Prints its resident memory (VmRSS) and peak (VmHWM) at 300 s, and
# its wake-ups (returns from poll(), strace) per three minutes over the third argument's seconds
# (180) from the fourth's on (270: the host reads every 30 s until its rate has settled, 4 minutes
# after its first reading), so the whole run takes 450 s. Exits 1 when the resident memory is not under the limit: 6,716 KiB (upowerd's over
# 300 s on the same fixture) or BRIMWELL_RSS_LIMIT_KIB.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-300}
window=${3:-180}
limit_kib=${BRIMWELL_RSS_LIMIT_KIB:-6716}
settle=${4:-270}
if ((seconds < 1 || window < 1)); then
  echo "service_memory.sh: the run and the window take whole seconds above 0" >&2
  exit 2
fi
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# As bench/idle.sh builds it: 31 of 50 Wh at 10 W, 62 %, the next percent 3 minutes away.
sys="$work/sys/BAT0"
mkdir -p "$sys" "$work/device/Library/MobileSubstrate/DynamicLibraries"
for pair in type=Battery status=Discharging energy_now=31000000 energy_full=50000000 capacity=62 \
  power_now=10000000 voltage_min_design=12000000 voltage_now=12600000; do
  printf '%s\n' "${pair#*=}" > "$sys/${pair%%=*}"
done
# It drains as a battery does at 10 W: the energy written afresh every 5 s (which wakes nothing:
# a fixture folder sends no kernel events), with its percent as the ACPI driver works it out
# (energy_now * 100 / energy_full, cut), so the rate settles, the host learns that the percent
# cuts, and the next look waits for the next whole percent.
(
  energy=31000000
  while sleep 5; do
    energy=$((energy - 13889))
    printf '%s\n' "$energy" > "$sys/energy_now.new" && mv "$sys/energy_now.new" "$sys/energy_now"
    printf '%s\n' $((energy * 100 / 50000000)) > "$sys/capacity.new" &&
      mv "$sys/capacity.new" "$sys/capacity"
  done
) &
pids+=($!)
# The plug-in, as an installed service finds it beside itself.
ln -s "$build/lib/brimwell/Brimwell.dylib" "$work/device/Library/MobileSubstrate/DynamicLibraries/"

bus() {  # starts a private bus; its address in $address
  local out="$work/bus-$1"
  dbus-daemon --session --nofork --nopidfile --print-address=1 > "$out" 2> /dev/null &
  pids+=($!)
  for _ in $(seq 50); do [[ -s "$out" ]] && break; sleep 0.1; done
  address=$(head -1 "$out")
}
bus session
session=$address
bus system
system=$address
logind="no stand-in logind (python3-dbusmock is missing): sleep tracking off in this run"
if /usr/bin/python3 -c 'import dbusmock' 2>/dev/null; then
  DBUS_SYSTEM_BUS_ADDRESS=$system /usr/bin/python3 -m dbusmock --system -t logind \
    > "$work/logind.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    dbus-send --bus="$system" --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 2>/dev/null |
      grep -q 'boolean true' && break
    sleep 0.1
  done
  logind="a stand-in logind on a private system bus"
fi

# The laptop service where it is built; before it, the host in the same mode. ALERTS=off runs it
# without desktop alerts.
if [[ -x "$build/bin/brimwelld" ]]; then
  program=("$build/bin/brimwelld" --sysfs "$work/sys")
  [[ ${ALERTS:-on} == off ]] && program+=(--no-desktop-alerts)
else
  program=("$build/bin/springboard-sim" --source "sysfs=$work/sys" --headless)
  [[ ${ALERTS:-on} == off ]] || program+=(--desktop-alerts)
fi
env -i PATH="$PATH" HOME="$work" SIM_DEVICE_ROOT="$work/device" \
  DBUS_SESSION_BUS_ADDRESS="$session" DBUS_SYSTEM_BUS_ADDRESS="$system" \
  strace -f -e trace=poll,ppoll -e signal=none -o "$work/service.strace" \
  "${program[@]}" > "$work/service.out" 2>&1 &
tracer=$!
pids+=($tracer)
start=$SECONDS
sleep 1
service=$(pgrep -n -P "$tracer")
polls() { grep -cE '^[0-9]+ +(poll|ppoll)\(' "$work/service.strace" || true; }
value() { awk -v k="$1:" '$1 == k {print $2}' "/proc/$service/status"; }
# Two moments on one clock: the memory read at $seconds, the wake-ups counted from $settle on.
at() {
  sleep "$(awk -v t="$1" -v s="$SECONDS" -v z="$start" 'BEGIN {d = t - (s - z); print (d > 0 ? d : 0)}')"
}
for moment in $(printf '%s\n' "memory $seconds" "from $settle" "to $((settle + window))" |
  sort -k2 -n | tr ' ' ':'); do
  at "${moment#*:}"
  case ${moment%%:*} in
    memory) rss=$(value VmRSS) hwm=$(value VmHWM) ;;
    from) before=$(polls) ;;
    to) after=$(polls) ;;
  esac
done
inhibitors=$(grep -c 'Inhibit' "$work/logind.log" 2>/dev/null || true)
kill -TERM "$service"
wait "$tracer" || true

rate=$(awk -v n="$((after - before))" -v s="$window" 'BEGIN {printf "%.2f", n * 180 / s}')
printf 'laptop service, %s (sleep inhibitors taken: %s)\n' "$logind" "${inhibitors:-0}"
printf 'resident memory at %s s: %s KiB (peak %s); target under %s (upowerd, 300 s)\n' \
  "$seconds" "$rss" "$hwm" "$limit_kib"
printf 'wake-ups on a battery draining 1 %% in 3 minutes: %s from %s s to %s s (%s per 3 minutes; target 1)\n' \
  "$((after - before))" "$settle" "$((settle + window))" "$rate"
if ((rss >= limit_kib)); then
  echo "service_memory.sh: $rss KiB resident, not under $limit_kib" >&2
  sed 's/^/  /' "$work/service.out" >&2
  exit 1
fi
