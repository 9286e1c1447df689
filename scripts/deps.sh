#!/usr/bin/env bash
# Installs the Debian packages Pastiq needs to build and test; only what is missing,
# so a second run costs no network and no time.
set -euo pipefail

PKGS=(
  cmake g++ make pkg-config
  libwxgtk3.2-dev
  libboost-serialization-dev libboost-iostreams-dev
  zlib1g-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libx11-dev libxtst-dev libxfixes-dev libxres-dev libxrandr-dev
  xvfb xauth xclip xdotool openbox trayer
)

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "deps: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
