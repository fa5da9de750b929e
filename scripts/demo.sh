#!/usr/bin/env bash
# The main job: a simulated phone charging from 45 %, the host with the plug-in on the left and
# the viewer on the right. Without a terminal: a short headless run and what it left behind.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
root="$build/demo-device"

# A fresh demo device: the plug-in installed, the alert sound, the settings a user would pick.
rm -rf "$root"
mkdir -p "$root/tmp" "$root/Library/MobileSubstrate/DynamicLibraries" \
  "$root/System/Library/Audio/UISounds" "$root/var/mobile/Library/Preferences"
ln -s "$build/lib/brimwell/Brimwell.dylib" "$root/Library/MobileSubstrate/DynamicLibraries/Brimwell.dylib"
cp "$here/assets/alert_sound.wav" "$root/System/Library/Audio/UISounds/alert_sound.wav"
cat > "$root/var/mobile/Library/Preferences/org.tarnel.Brimwell.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>isPopAlert</key>
	<true/>
	<key>isVibrate</key>
	<true/>
	<key>isSound</key>
	<true/>
	<key>isRepeat</key>
	<false/>
	<key>alertLevel</key>
	<integer>80</integer>
	<key>chargeMode</key>
	<integer>2</integer>
	<key>textColor</key>
	<integer>0</integer>
</dict>
</plist>
PLIST

device=(env "SIM_DEVICE_ROOT=$root" "SIM_MODEL_IDENTIFIER=${SIM_MODEL_IDENTIFIER:-iPhone7,2}")
host=("$build/bin/springboard-sim" --source sim --start 45 --charger on)
viewer=("$build/bin/BrimwellViewer")

if [ -t 0 ] && [ -t 1 ]; then
  # A tmux server of our own: quitting either side ends both and gives the terminal back.
  unset TMUX  # ours runs on its own socket, also when started from inside tmux
  sock=brimwell-demo-$$
  quit="; tmux -L $sock kill-server"
  q() { printf '%q ' "$@"; }
  tmux -L "$sock" -f /dev/null new-session -d -s demo -x "$(tput cols)" -y "$(tput lines)" \
    "$(q "${device[@]}" "${host[@]}") $quit"
  tmux -L "$sock" set-option -g status off
  # The viewer starts once the plug-in has written the first status, so it opens on real values.
  wait_for_status="for i in \$(seq 50); do [ -e $(q "$root/tmp/batteryStatus.plist") ] && break; sleep 0.1; done;"
  tmux -L "$sock" split-window -h -t demo "$wait_for_status $(q "${device[@]}" "${viewer[@]}") $quit"
  tmux -L "$sock" select-pane -t demo.0
  # The server ends when either side quits; attach reports that as an error, which it is not.
  tmux -L "$sock" attach-session -t demo || true
  rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$sock"
  exit 0
fi

echo "No terminal here: two simulated hours of charging from 45 %, without waiting."
echo
"${device[@]}" "${host[@]}" --virtual-time --duration 7200
echo
echo "What the viewer shows now (BrimwellViewer --once):"
"${device[@]}" "${viewer[@]}" --once
