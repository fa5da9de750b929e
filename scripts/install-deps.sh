#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make clang-format universal-ctags
  libexpat1-dev libudev-dev libplist-dev libncurses-dev ncurses-term gettext tmux
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libcanberra-dev libasound2-dev dbus dbus-bin dbus-daemon
  libsystemd-dev python3-dbusmock libsqlite3-dev nlohmann-json3-dev
  valgrind strace time linux-perf python3
  dpkg-dev lintian systemd man-db groff-base
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
