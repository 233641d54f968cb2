#!/usr/bin/env bash
# Installs the Debian packages that the build needs, calling apt-get only for those
# that are missing (so it costs nothing when all are present).
set -euo pipefail
PACKAGES=(g++ cmake make pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          libpugixml-dev libcli11-dev qt6-base-dev libcadical-dev libgmp-dev libcpp-httplib-dev
          libglpk-dev
          man-db groff-base dpkg-dev)
# `make fuzz` needs clang with libFuzzer and the sanitizer runtimes.
if [ "${1:-}" = fuzz ]; then PACKAGES+=(clang libclang-rt-dev); fi
# The certificate tests build the certifier with GHC.
if [ "${1:-}" = ceta ]; then PACKAGES+=(ghc); fi
# The web page's test drives a headless browser through Selenium (Debian's Python).
if [ "${1:-}" = browser ]; then PACKAGES+=(chromium chromium-driver python3-selenium); fi
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
