#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
# Idempotent: with everything present it only asks dpkg and returns.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev zlib1g-dev libminizip-dev libpng-dev libopenmpt-dev
  libfreetype-dev libcairo2-dev fonts-dejavu-core fonts-dejavu-extra
  desktop-file-utils appstream-util
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "deps: installing ${missing[*]}" >&2
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
