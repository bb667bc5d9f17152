#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running the tool set need.
# Only missing packages are installed; run as root or with sudo available.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
  qt6-base-dev qt6-translations-l10n fonts-liberation xvfb xauth imagemagick
  # a window manager, so that screenshots and runs by hand under Xvfb show title bars
  openbox xdotool
  clang libclang-rt-14-dev
  # the Windows programs (scripts/windows-check.sh): MinGW-w64 for 32-bit and 64-bit Windows,
  # Wine to run the 64-bit ones (Debian's wine64 needs no i386 architecture), zip to pack them
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine64 zip
  # the Debian package and its test (scripts/package.sh, scripts/package-test.sh)
  dpkg-dev file lintian man-db desktop-file-utils libglib2.0-bin
  # the cross-check of the LZX coding against libmspack (tests/compress)
  cabextract
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

# A package run that was cut off (a killed apt-get, a machine stopped mid-install) leaves dpkg
# half-configured, and every later apt-get refuses to start until it is finished.
if [ -n "$(dpkg --audit 2>/dev/null)" ] || [ -n "$(ls -A /var/lib/dpkg/updates 2>/dev/null)" ]; then
  echo "Finishing an interrupted package run (dpkg --configure -a)"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" dpkg --configure -a
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}"
