#!/usr/bin/env bash
# The host's peak resident memory while it replays the largest recordings it accepts, on a
# simulated device with the plug-in: 64 MiB of XML, the same statuses as a binary list, and
# statuses each at the most a recorded status may hold (4096 values). Each must stay under
# 16 MiB, and so must the first replayed again with --record (the run writing its own
# recording as it goes); exits 1 otherwise. Needs python3 (its plistlib writes the recordings) and GNU time.
# ONLY="xml binary full record" (any of them) runs those alone.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
limit_kib=16384
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

root="$work/device"
mkdir -p "$root/tmp" "$root/Library/MobileSubstrate/DynamicLibraries"
ln -s "$build/lib/brimwell/Brimwell.dylib" "$root/Library/MobileSubstrate/DynamicLibraries/"

python3 - "$work" <<'PY'
import plistlib, sys
work = sys.argv[1]
def status(i):
    level = 100 - (i // 30) % 80
    return {"delay": 60.0, "status": {
        "AppleRawCurrentCapacity": level * 40, "AppleRawMaxCapacity": 4000,
        "DesignCapacity": 4400, "CycleCount": 87, "Temperature": 3010,
        "InstantAmperage": -833, "Amperage": -833, "Voltage": 11913, "IsCharging": False,
        "ExternalConnected": False, "ExternalChargeCapable": False, "FullyCharged": False,
        "Manufacturer": "SMP", "Serial": "1234", "CurrentCapacity": level, "MaxCapacity": 100,
        "BatteryInstalled": True, "AtCriticalLevel": False, "UpdateTime": 1796083200 + 60 * i,
        "AvgTimeToEmpty": 240 - i % 200, "AvgTimeToFull": 65535,
        "ChargingState": "discharging"}}
# As many statuses as 64 MiB of XML holds, less a margin for the last one.
each = len(plistlib.dumps([status(i) for i in range(1000)])) / 1000
statuses = [status(i) for i in range(int((64 * 1024 * 1024 - 4096) / each))]
open(work + "/xml.plist", "wb").write(plistlib.dumps(statuses))
open(work + "/binary.plist", "wb").write(plistlib.dumps(statuses, fmt=plistlib.FMT_BINARY))
# Each element at the most: its dictionary, two keys and a delay, the status, its key and an
# array of 4089 values, 4096 in all.
full = [{"delay": 60, "status": {"a": [True] * 4089}} for _ in range(600)]
open(work + "/full.plist", "wb").write(plistlib.dumps(full))
PY

failed=0
for name in ${ONLY:-xml binary full record}; do
  file="$work/${name/record/xml}.plist"
  extra=()
  [ "$name" != record ] || extra=(--record "$work/again.plist")
  /usr/bin/time -v -o "$work/time" env "SIM_DEVICE_ROOT=$root" "$build/bin/springboard-sim" \
    --source "replay=$file" --virtual-time --headless "${extra[@]}" > "$work/out" 2> "$work/err" || {
    echo "replay of $name.plist failed: $(cat "$work/err")"; exit 1; }
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time")
  seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time")
  printf '%s recording, %s bytes, %s: peak resident %s KiB in %s (target under %s)\n' \
    "$name" "$(stat -c %s "$file")" "$(tail -1 "$work/out" | sed 's/.*delivered \([0-9]*\) .*/\1 statuses/')" \
    "$peak" "$seconds" "$limit_kib"
  [ "$peak" -lt "$limit_kib" ] || failed=1
done
exit "$failed"
