#!/usr/bin/env bash
# Installs the Debian packages Segmora needs to build, run and test.
# Quick when everything is already there: apt is only called for what is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-tidy
  qt6-base-dev libmpg123-dev mpg123 libcurl4-openssl-dev libjpeg62-turbo-dev libcue-dev
  libcli11-dev nlohmann-json3-dev libtag1-dev libgtest-dev libgmock-dev libbenchmark-dev
  lame sox twolame fonts-wqy-microhei xvfb xauth
  qt6-translations-l10n openbox xdotool wmctrl x11-utils
  desktop-file-utils appstream groff-base dpkg-dev file
  libxcb-xfixes0-dev libxcb-xtest0-dev xcompmgr
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
