#!/usr/bin/env bash
# The headless laptop service's resident memory with --desktop-alerts (or without, given
# "plain"): a steady fixture battery, a private session bus with the tests' stand-in notification
# server on it; VmRSS after SECONDS, and which of the desktop's libraries the host has mapped.
# usage: bench/desktop_memory.sh [BUILD] [SECONDS] [plain]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
seconds=${2:-8}
alerts=--desktop-alerts
[ "${3:-}" = plain ] && alerts=
work=$(mktemp -d)
dbus-daemon --session --nofork --nopidfile --print-address=1 > "$work/address" 2>/dev/null &
bus=$!
trap 'kill "$bus" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/address" ] && break; sleep 0.1; done
address=$(head -1 "$work/address")
"$build/bin/fake_notification_server" "$address" > /dev/null &
server=$!
mkdir -p "$work/sys/BAT0" "$work/root"
for pair in type=Battery status=Discharging energy_now=31000000 energy_full=50000000 \
  power_now=10000000 voltage_min_design=12000000 voltage_now=12600000; do
  printf '%s\n' "${pair#*=}" > "$work/sys/BAT0/${pair%%=*}"
done
env SIM_DEVICE_ROOT="$work/root" DBUS_SESSION_BUS_ADDRESS="$address" \
  "$build/bin/springboard-sim" --source "sysfs=$work/sys" --headless $alerts > /dev/null 2>&1 &
host=$!
sleep "$seconds"
echo "VmRSS: $(awk '$1 == "VmRSS:" {print $2}' "/proc/$host/status") KiB"
echo "mapped: $(grep -oE '(gio|glib|gobject|canberra|asound|desktop-alerts)[^/ ]*\.so[^ ]*' \
  "/proc/$host/maps" | sort -u | tr '\n' ' ')"
kill "$host" "$server"
wait "$host" "$server" 2>/dev/null || true
