#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  nlohmann-json3-dev libsqlite3-dev nettle-dev libxml2-dev libxml2-utils
  libhbaapi-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  groff-base man-db   # the man page test renders volk(1)
  python3-pexpect     # the menus are tested on a pseudo-terminal
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
