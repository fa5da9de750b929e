#!/usr/bin/env bash
# 100,000 status changes with every alert path on, and 10,000 lock/unlock cycles, through the
# built host and plug-in: under valgrind for leaks, and natively for resident-memory growth.
# The status changes come in rounds of four records (unplugged, so both alerts re-arm; 40 %;
# 60 %, the level alert; full, the completion alert with dialog, vibration and sound, which with
# isRepeat on plays again), from growth_probe, which delivers them through the host's classes.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
changes=${2:-100000}
cycles=${3:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

root="$work/device"
mkdir -p "$root/Library/MobileSubstrate/DynamicLibraries" "$root/System/Library/Audio/UISounds"
ln -s "$build/lib/brimwell/Brimwell.dylib" "$root/Library/MobileSubstrate/DynamicLibraries/Brimwell.dylib"
echo "RIFF" > "$root/System/Library/Audio/UISounds/alert_sound.wav"
export SIM_DEVICE_ROOT="$root" SIM_LANGUAGES=zh-Hant

lock_scenario() {
  echo "status AppleRawCurrentCapacity=600 AppleRawMaxCapacity=1500 IsCharging=true InstantAmperage=1000"
  for ((i = 0; i < $1; i++)); do echo lock; echo unlock; done
}

echo "settings alertLevel=50 isRepeat=true isPopAlert=true isVibrate=true isSound=true chargeMode=0" \
  > "$work/settings.txt"
"$build/bin/springboard-sim" --script "$work/settings.txt" > /dev/null

leaks() {  # name command...
  local name=$1
  shift
  local log="$work/$name.valgrind" started=$SECONDS
  valgrind --leak-check=full --show-leak-kinds=definite,indirect,possible \
    --errors-for-leak-kinds=definite,indirect --error-exitcode=3 "$@" > "$work/$name.out" 2> "$log" || {
    echo "$name: valgrind reports errors"; tail -30 "$log"; exit 1; }
  printf '  %-16s %4ss: %s; %s; %s\n' "$name" $((SECONDS - started)) \
    "$(grep -o 'definitely lost: [0-9,]* bytes in [0-9,]* blocks' "$log" || echo 'definitely lost: 0 bytes')" \
    "$(grep -o 'indirectly lost: [0-9,]* bytes' "$log" || echo 'indirectly lost: 0 bytes')" \
    "$(grep -o 'ERROR SUMMARY: [0-9]* errors' "$log")"
  tail -1 "$work/$name.out" | sed 's/^/                    /'
}

echo "Leaks, valgrind --leak-check=full over the plug-in in the host's classes:"
leaks "status changes" "$build/bin/growth_probe" status "$changes"
leaks "lock-unlock" "$build/bin/growth_probe" lock "$cycles"
echo
echo "Resident memory as the work goes on (natively):"
"$build/bin/growth_probe" status "$changes" | sed 's/^/  /'
"$build/bin/growth_probe" lock "$cycles" | sed 's/^/  /'
echo
echo "The same through springboard-sim (scenarios; a scenario is parsed whole before it runs):"
lock_scenario "$cycles" > "$work/lock.txt"
leaks_host() {
  local log="$work/host.valgrind"
  valgrind --leak-check=full --errors-for-leak-kinds=definite,indirect --error-exitcode=3 \
    "$build/bin/springboard-sim" --script "$1" > /dev/null 2> "$log" || { tail -30 "$log"; exit 1; }
  printf '  %s lock/unlock cycles: %s; %s\n' "$cycles" \
    "$(grep -o 'definitely lost: [0-9,]* bytes in [0-9,]* blocks' "$log" || echo 'definitely lost: 0 bytes')" \
    "$(grep -o 'ERROR SUMMARY: [0-9]* errors' "$log")"
}
leaks_host "$work/lock.txt"
