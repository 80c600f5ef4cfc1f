#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages a build needs, only those missing, so a
# second run costs nothing. Usage: install-deps.sh [extra package ...]
set -euo pipefail

# help2man makes the man page; dpkg-dev (dpkg-shlibdeps) and file let CPack
# find the Debian package's dependencies; desktop-file-utils checks the
# desktop entry.
# libleptonica-dev (found through pkg-config) reduces textures to 256
# colours for 8-bit bitmaps; zlib1g-dev compresses the PNG previews.
packages=(cmake ninja-build g++ make libgtest-dev libbenchmark-dev qt6-base-dev
  pkg-config libleptonica-dev zlib1g-dev python3 help2man dpkg-dev file desktop-file-utils "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
