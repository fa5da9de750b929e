#!/usr/bin/env bash
# The main job: the viewer on a simulated device whose status file shows a charging phone.
set -euo pipefail
build=${1:-build}
root="$build/demo-device"
mkdir -p "$root/tmp"
cat > "$root/tmp/batteryStatus.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>AppleRawCurrentCapacity</key>
	<integer>1140</integer>
	<key>AppleRawMaxCapacity</key>
	<integer>1715</integer>
	<key>DesignCapacity</key>
	<integer>1810</integer>
	<key>CycleCount</key>
	<integer>212</integer>
	<key>Temperature</key>
	<integer>3120</integer>
	<key>InstantAmperage</key>
	<integer>1024</integer>
	<key>Amperage</key>
	<integer>1024</integer>
	<key>Voltage</key>
	<integer>4012</integer>
	<key>IsCharging</key>
	<true/>
	<key>ExternalConnected</key>
	<true/>
	<key>ExternalChargeCapable</key>
	<true/>
	<key>FullyCharged</key>
	<false/>
	<key>Manufacturer</key>
	<string>A</string>
	<key>Serial</key>
	<string>C0142610XQ1GMKPAX</string>
</dict>
</plist>
PLIST

export SIM_DEVICE_ROOT="$root" SIM_MODEL_IDENTIFIER="${SIM_MODEL_IDENTIFIER:-iPhone7,2}"
if [ -t 0 ] && [ -t 1 ]; then
  exec "$build/bin/BrimwellViewer"
fi
echo "No terminal here: one refresh of the screen instead (the live screen needs a terminal)."
exec "$build/bin/BrimwellViewer" --once
