#!/usr/bin/env bash
# Installs what building, testing and running Zandrel need on Debian 12, skipping what is there.
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev libgtest-dev libbenchmark-dev
          clang-format fonts-dejavu-core fonts-liberation2 libpsl-dev libidn2-dev libc-ares-dev publicsuffix pkg-config libqt6svg6 xvfb
          xauth ca-certificates clang libclang-rt-14-dev
          desktop-file-utils appstream dpkg-dev lintian file bash-completion)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
