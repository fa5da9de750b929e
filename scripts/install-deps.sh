#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config make clang-format universal-ctags
  libexpat1-dev libudev-dev libplist-dev libncurses-dev ncurses-term gettext tmux
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libcanberra-dev libasound2-dev libsystemd-dev libsqlite3-dev nlohmann-json3-dev
  valgrind strace time linux-perf
  dpkg-dev lintian man-db groff-base
  # What the tests would otherwise skip for (a skipped test fails `make test`): the stand-in
  # services on private buses (python3-dbusmock for /usr/bin/python3, dbus-daemon, dbus-send),
  # another user (setpriv), systemd's check and rating of the charge service's unit.
  python3 python3-dbusmock dbus dbus-bin dbus-daemon util-linux systemd
)

# One query for all: `make demo` and `make test` start here every time.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
  awk '$NF == "installed" && $(NF-1) == "ok" { print $1 }' || true)
missing=()
for p in "${packages[@]}"; do
  grep -qxF "$p" <<<"$installed" || missing+=("$p")
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
