#!/usr/bin/env bash
# Installs the Debian packages the kit builds and tests with, but only those that are missing,
# so a second run costs nothing. Safe to run as root or through sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libsqlite3-dev libcjson-dev uuid-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
