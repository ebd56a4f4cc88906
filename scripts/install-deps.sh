#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the client need,
# and only those that are missing. With "fuzz", also those of the fuzz build.
set -euo pipefail

packages=(
  # build
  cmake g++ make pkg-config python3
  # the format check of ./dev.sh test
  clang-format
  qtbase5-dev qtbase5-dev-tools libqt5svg5-dev qttools5-dev qttools5-dev-tools
  # Qt's X connection, on which the client asks whether a compositing manager runs, and the
  # SHAPE extension, by which a window cut to its body takes clicks only there
  libqt5x11extras5-dev libxcb-shape0-dev
  libsqlite3-dev libgtest-dev libgmock-dev
  # run time: SVG icons, the programs the bundle drives
  libqt5svg5 openvpn wireguard-tools wireguard-go iproute2
  # wg-quick hands the DNS line of a WireGuard profile to resolvconf
  openresolv
  # wg-quick's firewall rules for a profile that sends all traffic through the tunnel
  nftables
  charon-systemd strongswan-swanctl libstrongswan-standard-plugins libcharon-extra-plugins
  # the client runs as root: a start by another user goes through pkexec
  pkexec
  # screenshots and the headless display of the run command
  xvfb xauth
  # the real-display tests: a window manager on their Xvfb, and xprop to see it ready and
  # to read the windows' names and icons; XTEST to click where the server says
  openbox x11-utils libxcb-xtest0-dev
  # ... and a compositing manager for those that look at translucent windows
  xcompmgr
  # a face for Chinese, Japanese and Korean texts, which the brand font lacks
  fonts-wqy-microhei
)

# The fuzz targets need clang with its libFuzzer and sanitizer runtimes, and the
# symbolizer for readable reports: only `./dev.sh test` and `./dev.sh fuzz` ask for them
# (install-deps.sh fuzz). The sanitizer build uses g++'s own runtimes.
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev llvm-14)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
